// The text of the HTTP exchanges with the vendor's server: the form body, the request,
// the proxy setting's parsing, the reply scanner and the report's anonymisation.
// Everything returns values; nothing here talks to the network.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// application/x-www-form-urlencoded value: letters, digits and "*-._" stay, a blank
// becomes "+", every other byte "%XX".
std::string FormEncode(const std::string& value);

// name=value pairs joined by "&", every value form-encoded.
std::string FormBody(const std::vector<std::pair<std::string, std::string>>& fields);

// One HTTP/1.0 POST of a form. Through a proxy the request line carries the absolute
// address. Content-Length is the body's size; nothing follows the body.
std::string BuildRequest(const std::string& host, const std::string& path, const std::string& body,
                         bool viaProxy);

// The "ProxyServer" value: the "http=" entry of a per-protocol list, or the whole value cut
// at ";"; a leading "scheme://" and a trailing "/" dropped; split at ":" into host and port
// (80 when there is no usable port). A per-protocol list without an "http=" entry, or no
// host at all, means no proxy for the web: `direct`.
struct ProxyEntry {
    std::string host;
    uint16_t port = 80;
    bool direct = false;
};
ProxyEntry ParseProxyServer(const std::string& value);

// Case-insensitive search of `needle` in `text` from `from`; npos when absent.
size_t FindNoCase(const std::string& text, const std::string& needle, size_t from = 0);

// The address of the first <a ... href="..."> of a reply; false when there is none.
bool FindLink(const std::string& reply, std::string& link);
// Whether a link may be handed to the shell: only a plain http:// or https:// address.
bool IsWebLink(const std::string& link);
// FindLink restricted to web links: anything else counts as no link.
bool FindWebLink(const std::string& reply, std::string& link);

// Where "<msg>" and "</msg>" stand in a reply.
struct ReplyNote {
    bool opened = false;  // "<msg>" present
    bool closed = false;  // and "</msg>" after it
    std::string text;     // between them when both are present
};
ReplyNote FindMessage(const std::string& reply);

// Who the report must not name: the profile folder in its long and short (8.3) forms, and
// the login name.
struct ReportIdentity {
    std::string profileFolder;
    std::string shortProfileFolder;
    std::string loginName;
};
// The log as the report sends it: the profile folder (either form, any case) replaced by
// kProfilePlaceholder; the login name and the profile folder's own name (either form)
// replaced by kUserPlaceholder where they stand as a whole path part, after "\" or "/" and
// before a separator, a dot, a quote, a blank or the end. Ordinary words are left alone.
extern const char* const kProfilePlaceholder;
extern const char* const kUserPlaceholder;
std::string Anonymise(const std::string& text, const ReportIdentity& who);
