// Request text, proxy parsing, reply scanning and anonymisation of the vendor exchanges.
#include "net/HttpText.h"

#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsWordChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

// Replaces every case-insensitive occurrence of `what`; with `wholeWord` only those not
// touching another letter or digit.
std::string ReplaceAll(const std::string& text, const std::string& what, const std::string& with, bool wholeWord) {
    if (what.empty()) return text;
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    for (;;) {
        size_t found = FindNoCase(text, what, at);
        while (found != std::string::npos && wholeWord) {
            size_t end = found + what.size();
            bool before = found > 0 && IsWordChar(static_cast<unsigned char>(text[found - 1]));
            bool after = end < text.size() && IsWordChar(static_cast<unsigned char>(text[end]));
            if (!before && !after) break;
            found = FindNoCase(text, what, found + 1);
        }
        if (found == std::string::npos) break;
        out.append(text, at, found - at);
        out += with;
        at = found + what.size();
    }
    out.append(text, at, std::string::npos);
    return out;
}

}  // namespace

const char* const kProfilePlaceholder = "<profile>";
const char* const kUserPlaceholder = "<user>";

std::string FormEncode(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (unsigned char c : value) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '*' || c == '-' ||
            c == '.' || c == '_') {
            out += char(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string FormBody(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& field : fields) {
        if (!body.empty()) body += '&';
        body += field.first;
        body += '=';
        body += FormEncode(field.second);
    }
    return body;
}

std::string BuildRequest(const std::string& host, const std::string& path, const std::string& body,
                         bool viaProxy) {
    std::string request = "POST ";
    if (viaProxy) request += "http://" + host;
    request += path;
    request += " HTTP/1.0\r\nHost: " + host;
    request += "\r\nConnection: close";
    request += "\r\nContent-type: application/x-www-form-urlencoded";
    request += "\r\nContent-Length: " + std::to_string(body.size());
    request += "\r\n\r\n";
    request += body;
    return request;
}

ProxyEntry ParseProxyServer(const std::string& value) {
    ProxyEntry entry;
    std::string text = value.substr(0, value.find('\0'));
    size_t rule = FindNoCase(text, "http=");
    if (rule != std::string::npos) text = text.substr(rule + 5);
    text = text.substr(0, text.find(';'));
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        entry.host = text;
        return entry;
    }
    entry.host = text.substr(0, colon);
    unsigned long port = 0;
    size_t digits = 0;
    for (size_t i = colon + 1; i < text.size() && text[i] >= '0' && text[i] <= '9' && port <= 65535; ++i, ++digits)
        port = port * 10 + unsigned(text[i] - '0');
    // No digits, 0 or beyond 65535 cannot be a proxy's port.
    if (digits && port >= 1 && port <= 65535) entry.port = uint16_t(port);
    return entry;
}

size_t FindNoCase(const std::string& text, const std::string& needle, size_t from) {
    if (needle.empty()) return from <= text.size() ? from : std::string::npos;
    if (text.size() < needle.size()) return std::string::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && Lower(text[i + k]) == Lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string::npos;
}

bool FindLink(const std::string& reply, std::string& link) {
    size_t tag = FindNoCase(reply, "<a");
    if (tag == std::string::npos) return false;
    size_t href = FindNoCase(reply, "href=\"", tag);
    if (href == std::string::npos) return false;
    size_t start = href + 6;
    size_t end = reply.find('"', start);
    link = reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

bool IsWebLink(const std::string& link) {
    size_t rest;
    if (FindNoCase(link, "http://") == 0)
        rest = 7;
    else if (FindNoCase(link, "https://") == 0)
        rest = 8;
    else
        return false;
    if (link.size() == rest) return false;
    // A blank, control character or quote would end or bend the browser's command line.
    for (unsigned char c : link)
        if (c <= ' ' || c == 0x7F || c == '"') return false;
    return true;
}

bool FindWebLink(const std::string& reply, std::string& link) {
    std::string found;
    if (!FindLink(reply, found) || !IsWebLink(found)) return false;
    link = found;
    return true;
}

ReplyNote FindMessage(const std::string& reply) {
    ReplyNote message;
    size_t open = FindNoCase(reply, "<msg>");
    if (open == std::string::npos) return message;
    message.opened = true;
    size_t start = open + 5;
    size_t close = FindNoCase(reply, "</msg>", start);
    if (close == std::string::npos) return message;
    message.closed = true;
    message.text = reply.substr(start, close - start);
    return message;
}

std::string Anonymise(const std::string& text, const std::string& profileFolder, const std::string& loginName) {
    std::string folder = profileFolder;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    // A profile folder as short as a drive ("C:") would blank every path: only real folders.
    std::string out = folder.size() > 3 ? ReplaceAll(text, folder, kProfilePlaceholder, false) : text;
    return ReplaceAll(out, loginName, kUserPlaceholder, true);
}
