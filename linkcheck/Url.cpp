// URL parts for the link check, read with curl's own URL parser so that the check sees a URL as
// curl will ask it. Internationalised host names are converted here, not by curl: curl's
// conversion reads the name in the locale's character set, which a program left in the "C"
// locale does not have (libidn2 on Linux, the system's IdnToAscii on Windows).
#include "Url.h"

#include "Codec.h"
#include "Words.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <curl/curl.h>
#include <iterator>
#include <memory>
#ifdef _WIN32
#include <winsock2.h> // with windows.h, for IdnToAscii
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <idn2.h>
#endif

namespace qvn::linkcheck {
namespace {

using check::Lower;

// A host name in lower case without its final dot, the one spelling a connection has.
std::string Spelling(std::string_view host) {
    if (host.ends_with('.'))
        host.remove_suffix(1);
    return Lower(host);
}

// An internationalised host name (UTF-8) in its ASCII form, as browsers ask it: nullopt when it
// has none.
std::optional<std::string> AsciiHost(const std::string& utf8) {
#ifdef _WIN32
    const auto wide = Utf8ToUtf16(utf8);
    wchar_t out[256]; // a host name has at most 253 characters
    const int n = wide ? ::IdnToAscii(0, wide->c_str(), -1, out, std::size(out)) : 0;
    if (n <= 1)
        return std::nullopt;
    std::string ascii;
    for (int i = 0; i + 1 < n; ++i) // n counts the final NUL
        ascii += static_cast<char>(out[i]);
    return Lower(ascii);
#else
    // Non-transitional first, as browsers do; transitional for the names only it allows.
    for (const int flags :
         {IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL, IDN2_NFC_INPUT | IDN2_TRANSITIONAL}) {
        char* out = nullptr;
        if (::idn2_to_ascii_8z(utf8.c_str(), &out, flags) == IDN2_OK) {
            std::string ascii(out);
            ::idn2_free(out);
            return Lower(ascii);
        }
    }
    return std::nullopt;
#endif
}

// A host name in ASCII: as it is, or converted when it holds other characters.
std::optional<std::string> InAscii(std::string_view host) {
    if (FirstNonAscii(host) == std::string_view::npos)
        return Spelling(host);
    std::optional<std::string> utf8;
    if (ClassifyUtf8(host) == Utf8Kind::NotUtf8)
        utf8 = Cp932ToUtf8Exact(host);
    else
        utf8 = std::string(host);
    if (!utf8)
        return std::nullopt;
    if (utf8->ends_with('.'))
        utf8->pop_back();
    return AsciiHost(*utf8);
}

using Url = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

std::string Part(const Url& url, CURLUPart what, unsigned flags = 0) {
    char* part = nullptr;
    if (curl_url_get(url.get(), what, &part, flags) != CURLUE_OK)
        return {};
    std::string text(part);
    curl_free(part);
    return text;
}

std::optional<long> Port(std::string_view digits) {
    long port = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

std::string SchemeOf(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other))
            return {};
    }
    return Lower(url.substr(0, colon));
}

std::optional<std::string> AddressForm(std::string_view host) {
    if (host.starts_with('[') && host.ends_with(']'))
        host = host.substr(1, host.size() - 2);
    const std::string text(host);
    unsigned char bytes[16];
    char form[INET6_ADDRSTRLEN];
    if (::inet_pton(AF_INET, text.c_str(), bytes) == 1)
        return ::inet_ntop(AF_INET, bytes, form, sizeof form);
    if (::inet_pton(AF_INET6, text.c_str(), bytes) != 1)
        return std::nullopt;
    // ::ffff:a.b.c.d is the IPv4 address a.b.c.d as an IPv6 socket reaches it.
    constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(bytes, kMapped, sizeof kMapped) == 0)
        return ::inet_ntop(AF_INET, bytes + 12, form, sizeof form);
    return ::inet_ntop(AF_INET6, bytes, form, sizeof form);
}

std::optional<ResolveEntry> ReadResolveEntry(std::string_view entry) {
    const std::size_t first = entry.find(':');
    const std::size_t second = first == std::string_view::npos ? first : entry.find(':', first + 1);
    if (first == 0 || second == std::string_view::npos)
        return std::nullopt;
    ResolveEntry resolve;
    const auto host = InAscii(entry.substr(0, first));
    const auto port = Port(entry.substr(first + 1, second - first - 1));
    if (!host || host->empty() || !port)
        return std::nullopt;
    resolve.host = *host;
    resolve.port = *port;
    std::string_view addresses = entry.substr(second + 1);
    for (;;) {
        const std::size_t comma = addresses.find(',');
        const auto address = AddressForm(addresses.substr(0, comma));
        if (!address)
            return std::nullopt;
        resolve.addresses.push_back(*address);
        if (comma == std::string_view::npos)
            return resolve;
        addresses.remove_prefix(comma + 1);
    }
}

std::optional<Target> ReadTarget(std::string_view url) {
    const Url parsed(curl_url(), curl_url_cleanup);
    if (!parsed || url.find('\0') != std::string_view::npos ||
        curl_url_set(parsed.get(), CURLUPART_URL, std::string(url).c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    const std::string host = Part(parsed, CURLUPART_HOST);
    const auto port = Port(Part(parsed, CURLUPART_PORT, CURLU_DEFAULT_PORT));
    if (host.empty() || !port)
        return std::nullopt;
    Target target;
    target.url = url;
    target.port = *port;
    target.path = Part(parsed, CURLUPART_PATH);
    if (target.path.empty())
        target.path = "/";
    const std::string origin = Part(parsed, CURLUPART_SCHEME) + "://";
    if (const auto address = AddressForm(host)) {
        target.host = *address;
        target.origin = origin + Lower(host) + ":" + std::to_string(*port);
        return target;
    }
    const auto ascii = InAscii(host);
    if (!ascii || ascii->empty())
        return std::nullopt;
    target.name = host;
    if (FirstNonAscii(host) != std::string::npos) {
        if (curl_url_set(parsed.get(), CURLUPART_HOST, ascii->c_str(), 0) != CURLUE_OK)
            return std::nullopt;
        target.url = Part(parsed, CURLUPART_URL);
        target.name = *ascii;
    }
    target.host = *ascii;
    target.origin = origin + Lower(target.name) + ":" + std::to_string(*port);
    return target;
}

bool IsTopPath(std::string_view path) {
    static constexpr std::string_view kIndex[] = {
        "/",          "/index.html", "/index.htm",   "/index.shtml",
        "/index.php", "/index.cgi",  "/default.htm", "/default.html"};
    const std::string lower = Lower(path);
    return path.empty() || std::ranges::find(kIndex, lower) != std::end(kIndex);
}

std::string WithoutPassword(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return std::string(url);
    const std::size_t start = scheme + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = url.substr(start, end - start).rfind('@');
    if (at == std::string_view::npos)
        return std::string(url);
    const std::size_t colon = url.substr(start, at).find(':');
    if (colon == std::string_view::npos || colon + 1 == at)
        return std::string(url);
    return std::string(url.substr(0, start + colon + 1)) + "***" +
           std::string(url.substr(start + at));
}

} // namespace qvn::linkcheck
