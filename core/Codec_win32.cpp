// Code page 932 <-> UTF-8 through the Windows code page functions, by way of UTF-16: the same
// table the system itself uses for code page 932 names and text. The other charsets of web pages
// go the same way, through the system's code pages for them.
#include "Codec.h"

#include <climits>
#include <stdexcept>
#include <windows.h>

namespace qvn {
namespace {

constexpr UINT kCp932 = 932;

int Length(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long to convert");
    return static_cast<int>(size);
}

// in as UTF-16; nullopt when it holds a sequence the code page has no character for.
std::optional<std::wstring> ToUtf16(UINT codePage, std::string_view in) {
    if (in.empty())
        return std::wstring();
    const int size = Length(in.size());
    const int n =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, out.data(), n);
    return out;
}

// in in the code page; nullopt when a character has no exact counterpart there. Code page 932
// reports a character it lacks through the used-default flag, and "best fit" look-alikes (such as
// "\" for "¥") are refused, so that only an exact conversion succeeds; UTF-8 fails on an unpaired
// surrogate.
std::optional<std::string> FromUtf16(UINT codePage, std::wstring_view in) {
    if (in.empty())
        return std::string();
    const int size = Length(in.size());
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault; // UTF-8 takes no flag
    const int n =
        ::WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, in.data(), size, out.data(), n, nullptr, used);
    return out;
}

std::optional<std::string> ConvertExact(UINT to, UINT from, std::string_view in) {
    const auto utf16 = ToUtf16(from, in);
    if (!utf16)
        return std::nullopt;
    return FromUtf16(to, *utf16);
}

// The whole text when it converts exactly, else character by character, each one that does not
// convert replaced: the Windows functions only say that a text failed, not where.
template <typename CharLength>
std::string ConvertReplacing(UINT to, UINT from, std::string_view in, CharLength charLength,
                             std::string_view replacement) {
    if (auto whole = ConvertExact(to, from, in))
        return std::move(*whole);
    std::string out;
    while (!in.empty()) {
        const std::size_t length = charLength(in);
        if (const auto one = ConvertExact(to, from, in.substr(0, length)))
            out += *one;
        else
            out += replacement;
        in.remove_prefix(length);
    }
    return out;
}

} // namespace

std::optional<std::wstring> Utf8ToUtf16(std::string_view utf8) {
    return ToUtf16(CP_UTF8, utf8);
}

std::optional<std::string> Utf16ToUtf8(std::wstring_view utf16) {
    return FromUtf16(CP_UTF8, utf16);
}

std::optional<std::string> Cp932ToUtf8Exact(std::string_view cp932) {
    return ConvertExact(CP_UTF8, kCp932, cp932);
}

std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8) {
    return ConvertExact(kCp932, CP_UTF8, utf8);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    return ConvertReplacing(CP_UTF8, kCp932, cp932, Cp932CharLength, "\xEF\xBF\xBD");
}

std::string Utf8ToCp932(std::string_view utf8) {
    return ConvertReplacing(kCp932, CP_UTF8, utf8, Utf8CharLength, "?");
}

std::string OtherCharsetToUtf8(Charset charset, std::string_view bytes) {
    // 20932 is EUC-JP. Without MB_ERR_INVALID_CHARS what is no character becomes U+FFFD, as on
    // Linux.
    const UINT codePage = charset == Charset::EucJp ? 20932 : 1252;
    if (bytes.empty())
        return {};
    const int size = Length(bytes.size());
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return std::string(bytes.size(), '?');
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
    // An unpaired surrogate cannot come from these code pages.
    return FromUtf16(CP_UTF8, wide).value_or(std::string());
}

} // namespace qvn
