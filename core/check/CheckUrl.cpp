// The URL field of a data line looked at as a reader of the page would: a link that cannot work
// (a misspelt or missing "http://", full-width letters, a space or quote before it, another
// field's text in its place), while relative URLs and other schemes pass.
#include "CheckFiles.h"
#include "Words.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace qvn::check {
namespace {

// The last part of a host name that shows a bare domain ("example.com") written without its
// scheme; a file name's extension (".html") is none of these.
constexpr std::array<std::string_view, 20> kTopLevel = {
    "com", "net", "org", "jp", "info", "biz", "io",  "co",  "me",  "tv",
    "cc",  "us",  "uk",  "de", "fr",   "edu", "gov", "xyz", "app", "example"};

bool NearHttp(std::string_view scheme) {
    return Distance(scheme, "http", 1) <= 1 || Distance(scheme, "https", 1) <= 1;
}

// Whether the text up to its first "/" is a host name ending in a well-known top-level domain.
bool IsBareDomain(std::string_view lower) {
    const std::string_view host = lower.substr(0, lower.find_first_of("/?#:"));
    const std::size_t dot = host.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
            return false;
    }
    return std::ranges::find(kTopLevel, host.substr(dot + 1)) != kTopLevel.end();
}

const std::string kMissingScheme =
    "URL の先頭に「https://」(または「http://」) がありません。このままではサイトの中のファイル"
    "名と読まれ、リンクが切れます。";

// Problems of the scheme ("ttp://", "http:/", "http;//"); "" for none or another scheme. A scheme
// a link may well use besides http (ftp, mailto, tel, ssh, ...) is never a letter off http or
// https, so it is never taken for a slip.
std::string SchemeProblem(std::string_view lower, std::string_view written) {
    std::size_t n = 0;
    while (n < lower.size() && n < 12 && std::isalpha(static_cast<unsigned char>(lower[n])))
        ++n;
    if (n == 0)
        return "";
    const std::string_view scheme = lower.substr(0, n), rest = lower.substr(n);
    const auto typo = [&](std::size_t length) {
        return "URL の「" + std::string(written.substr(0, length)) +
               "」は「http://」か「https://"
               "」の書き間違いのようです。このままではリンクが切れます。";
    };
    if (rest.starts_with("://"))
        return scheme == "http" || scheme == "https" || !NearHttp(scheme) ? "" : typo(n + 3);
    if (rest.starts_with(":")) {
        if (scheme == "http" || scheme == "https")
            return "URL の「" + std::string(written.substr(0, n + 1)) +
                   "」の後ろに「//」がありません。このままではリンクが切れます。";
        return !NearHttp(scheme) || n < 3 ? "" : typo(n + 1);
    }
    for (const std::string_view slip : {"//", ";//", ".//", ":\\\\"}) {
        if (rest.starts_with(slip) && NearHttp(scheme))
            return typo(n + slip.size());
    }
    return "";
}

} // namespace

std::string UrlProblem(const TLinkRecord& record) {
    std::string_view url = record[kURL];
    if (url.starts_with("https://") || url.starts_with("http://"))
        return ""; // nearly every line: nothing more to look at
    if (StartsWithFullWidthSpace(url))
        return "URL の前に全角の空白があります。空白もリンク先の一部になり、リンクが切れます。"
               "空白を消してください。";
    url.remove_prefix(LeadingSpace(url)); // a browser leaves out spaces around a URL
    if (url.starts_with('"'))
        return "URL が「\"」で囲まれています。引用符もそのままページに入り、リンクが切れます。"
               "引用符を消してください。";
    const std::string folded = FoldFullWidth(url.substr(0, 64));
    const std::string lower = Lower(folded);
    if (folded != url.substr(0, 64) && (lower.starts_with("http") || lower.starts_with("www.")))
        return "URL が全角の文字で書かれています。このままではリンクが切れるので、半角で書き直し"
               "てください。";
    if (lower.starts_with("/") || lower.starts_with("./") || lower.starts_with("../") ||
        lower.starts_with("#") || lower.starts_with("?"))
        return ""; // relative, or on the same site
    if (std::string why = SchemeProblem(lower, url); !why.empty())
        return why;
    if (lower.starts_with("www.") || IsBareDomain(lower))
        return kMissingScheme;
    // A relative URL ("page.html", "links/") may stand beside a description that opens with a
    // URL: only a field with neither "." nor "/" is taken for another field's text.
    if (url.find_first_of("./") != std::string_view::npos)
        return "";
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        const std::string other = Lower(FoldFullWidth(record[k].substr(0, 16)));
        if (k != kURL && (other.starts_with("http://") || other.starts_with("https://")))
            return std::string("「URL」の欄に URL がなく、") + QuotedField(k) +
                   "の欄に URL があります。項目の順番 (サイト名,URL,管理者,サイト説明) を確かめ"
                   "てください。";
    }
    const bool text = url.find(':') == std::string_view::npos &&
                      (url.find(' ') != std::string_view::npos ||
                       std::ranges::any_of(url, [](char c) { return c & 0x80; }));
    if (text)
        return "「URL」の欄の文字は URL に見えません。項目の順番 (サイト名,URL,管理者,サイト説明) "
               "を確かめてください。";
    return "";
}

} // namespace qvn::check
