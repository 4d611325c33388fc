// Request text, proxy parsing, reply scanning and anonymisation of the vendor exchanges.
#include "net/HttpText.h"

#include <algorithm>
#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Whether a path part ends at `end`: a separator, an extension's dot, a quote, a blank,
// punctuation after a path, or the end of the text.
bool EndsPathPart(const std::string& text, size_t end) {
    return end >= text.size() || strchr("\\/.\"' \t\r\n;,)]>|", text[end]) != nullptr;
}

// Replaces every case-insensitive occurrence of `what` that ends a path part; with
// `wholePart` only those that also start one (right after a separator).
std::string ReplacePathParts(const std::string& text, const std::string& what, const std::string& with,
                             bool wholePart) {
    if (what.empty()) return text;
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    for (;;) {
        size_t found = FindNoCase(text, what, at);
        while (found != std::string::npos) {
            bool starts = !wholePart || (found > 0 && IsPathSeparator(text[found - 1]));
            if (starts && EndsPathPart(text, found + what.size())) break;
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

std::string WithoutTrailingSeparators(std::string folder) {
    while (!folder.empty() && IsPathSeparator(folder.back())) folder.pop_back();
    return folder;
}

std::string LastPathPart(const std::string& folder) {
    size_t separator = folder.find_last_of("\\/:");
    return separator == std::string::npos ? folder : folder.substr(separator + 1);
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && FindNoCase(a, b) == 0;
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
    // "http=a:1;ftp=b:2" names a proxy per protocol; a plain "a:1" serves every protocol.
    std::string chosen, plain;
    bool haveHttp = false, havePlain = false;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find(';', at);
        if (end == std::string::npos) end = text.size();
        std::string item = Trim(text.substr(at, end - at));
        size_t equals = item.find('=');
        if (equals != std::string::npos) {
            if (!haveHttp && EqualsNoCase(Trim(item.substr(0, equals)), "http")) {
                chosen = Trim(item.substr(equals + 1));
                haveHttp = true;
            }
        } else if (!havePlain) {
            plain = item;
            havePlain = true;
        }
        at = end + 1;
    }
    if (!haveHttp) chosen = plain;
    // "http://proxy:8080/" is a common way to write "proxy:8080".
    size_t scheme = chosen.find("://");
    if (scheme != std::string::npos) chosen = chosen.substr(scheme + 3);
    chosen = chosen.substr(0, chosen.find('/'));
    size_t colon = chosen.find(':');
    entry.host = chosen.substr(0, colon);
    entry.direct = entry.host.empty();
    if (colon == std::string::npos) return entry;
    unsigned long port = 0;
    size_t digits = 0;
    for (size_t i = colon + 1; i < chosen.size() && chosen[i] >= '0' && chosen[i] <= '9' && port <= 65535;
         ++i, ++digits)
        port = port * 10 + unsigned(chosen[i] - '0');
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

std::string Anonymise(const std::string& text, const ReportIdentity& who) {
    std::string out = text;
    std::vector<std::string> names = {who.loginName};
    for (const std::string& given : {who.profileFolder, who.shortProfileFolder}) {
        std::string folder = WithoutTrailingSeparators(given);
        // A profile folder as short as a drive ("C:") would blank every path: only real folders.
        if (folder.size() <= 3) continue;
        out = ReplacePathParts(out, folder, kProfilePlaceholder, false);
        names.push_back(LastPathPart(folder));
    }
    // The longest first, so that a name that holds another is replaced whole.
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& name : names) out = ReplacePathParts(out, name, kUserPlaceholder, true);
    return out;
}
