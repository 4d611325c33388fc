// What the request builder, the proxy parser and the reply scanner promise for any input;
// shared by the bounded fuzz test and the libFuzzer target (tools/fuzz-net.sh).
// Each check returns "" or a description of the broken promise.
#pragma once

#include <cstdlib>
#include <string>

#include "net/HttpText.h"

namespace netprops {

inline int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A strict decoder of one form value, as a server reads it.
inline bool FormDecode(const std::string& encoded, std::string& out) {
    out.clear();
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= encoded.size()) return false;
            int hi = HexValue(encoded[i + 1]), lo = HexValue(encoded[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += char(hi * 16 + lo);
            i += 2;
        } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '*' ||
                   c == '-' || c == '.' || c == '_') {
            out += c;
        } else {
            return false;
        }
    }
    return true;
}

inline std::string CheckForm(const std::string& value) {
    std::string encoded = FormEncode(value), decoded;
    if (!FormDecode(encoded, decoded)) return "encoded value holds a character a form may not: " + encoded;
    if (decoded != value) return "value does not survive encoding";
    return "";
}

inline std::string CheckRequest(const std::string& host, const std::string& path, const std::string& value,
                                bool proxy) {
    std::string body = FormBody({{"a", value}, {"b", value}});
    std::string request = BuildRequest(host, path, body, proxy);
    size_t end = request.find("\r\n\r\n");
    if (end == std::string::npos) return "no blank line after the headers";
    std::string head = request.substr(0, end + 2);
    for (size_t i = 0; i < head.size(); ++i)
        if (head[i] == '\n' && (i == 0 || head[i - 1] != '\r')) return "a header line ends with a bare LF";
    if (request.compare(end + 4, std::string::npos, body) != 0) return "the body is not exactly what follows";
    size_t length = head.find("\r\nContent-Length: ");
    if (length == std::string::npos) return "no Content-Length";
    if (std::strtoul(head.c_str() + length + 18, nullptr, 10) != body.size()) return "Content-Length is not the body's size";
    if (FormEncode(value).find_first_of("&=") != std::string::npos) return "a value splits the form";
    return "";
}

inline std::string CheckProxy(const std::string& value) {
    ProxyEntry entry = ParseProxyServer(value);
    if (entry.port == 0) return "port 0";
    if (entry.host.find(';') != std::string::npos) return "host not cut at ';'";
    if (entry.host.find(':') != std::string::npos) return "host holds the port";
    if (entry.host.size() > value.size()) return "host longer than the value";
    if (entry.host.find('/') != std::string::npos) return "host holds a scheme or a path";
    if (entry.direct != entry.host.empty()) return "a proxy without a host, or a host not used";
    return "";
}

inline std::string CheckReply(const std::string& reply) {
    std::string link;
    if (FindLink(reply, link)) {
        size_t tag = FindNoCase(reply, "<a");
        if (tag == std::string::npos) return "a link without <a";
        if (link.find('"') != std::string::npos) return "a link with a quote";
        if (reply.find(link, tag) == std::string::npos) return "a link that is not in the reply";
    }
    std::string web;
    if (FindWebLink(reply, web)) {
        if (!IsWebLink(web)) return "a web link that is not one";
        if (web != link) return "the web link is not the reply's link";
        for (unsigned char c : web)
            if (c <= ' ' || c == '"' || c == 0x7F) return "a web link with a blank, quote or control character";
        if (FindNoCase(web, "http://") != 0 && FindNoCase(web, "https://") != 0) return "a web link of another scheme";
    }
    ReplyNote message = FindMessage(reply);
    if (message.closed && !message.opened) return "closed but never opened";
    if (FindNoCase(message.text, "</msg>") != std::string::npos) return "the message runs past its end tag";
    if (message.closed && FindNoCase(reply, "<msg>" + message.text + "</msg>") == std::string::npos)
        return "the message is not between its tags";
    return "";
}

// Whether `what` still stands in `text` where it ends a path part (and, with `wholePart`,
// starts one).
inline bool StillNamed(const std::string& text, const std::string& what, bool wholePart) {
    if (what.empty()) return false;
    for (size_t at = FindNoCase(text, what); at != std::string::npos; at = FindNoCase(text, what, at + 1)) {
        size_t end = at + what.size();
        bool starts = !wholePart || (at > 0 && (text[at - 1] == '\\' || text[at - 1] == '/'));
        bool ends = end == text.size() || std::string("\\/.\"' \t\r\n;,)]>|").find(text[end]) != std::string::npos;
        if (starts && ends) return true;
    }
    return false;
}

inline std::string CheckAnonymise(const std::string& text, const std::string& folder, const std::string& login) {
    std::string out = Anonymise(text, {folder, "", login});
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    if (trimmed.size() > 3 && StillNamed(out, trimmed, false)) return "the profile folder is still there";
    if (StillNamed(out, login, true)) return "the login name is still a path part";
    return "";
}

}  // namespace netprops
