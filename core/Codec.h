// Conversions between code page 932 byte strings, the system's text, and UTF-8, the text of Qt,
// the terminal and the file system. On Linux they go through glibc iconv with the table "CP932"
// (Microsoft's code page 932; glibc's "SJIS" and "SHIFT_JIS" are a different table), on Windows
// through the system's own code page 932 (Codec_posix.cpp, Codec_win32.cpp). The two tables
// differ in a few characters, which the codec tests name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvn {

// Exact conversions: nullopt when the input holds a byte sequence, or a character, that has no
// counterpart on the other side.
std::optional<std::string> Cp932ToUtf8Exact(std::string_view cp932);
std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8);

#ifdef _WIN32
// UTF-8 and UTF-16, for the Windows files that hand names and console text to the system:
// nullopt for bytes that are no UTF-8, and for an unpaired surrogate.
std::optional<std::wstring> Utf8ToUtf16(std::string_view utf8);
std::optional<std::string> Utf16ToUtf8(std::wstring_view utf16);
#endif

// Conversions that never fail, for display and for typed text.
// Cp932ToUtf8: each invalid or unassigned sequence becomes U+FFFD and the rest stays readable.
std::string Cp932ToUtf8(std::string_view cp932);
// Utf8ToCp932: each character code page 932 lacks (or each malformed UTF-8 byte) becomes "?",
// as the platform's own conversion of typed text does.
std::string Utf8ToCp932(std::string_view utf8);

// What a byte string is when read as UTF-8 (RFC 3629: no overlong forms, no surrogates, nothing
// above U+10FFFF): all ASCII, valid UTF-8 with at least one byte that is not ASCII, or not UTF-8
// at all. A text that is several strings (the fields of a file) is UTF-8 when none of them is
// NotUtf8 and at least one is Utf8; judging the strings one by one, never joined, keeps a sequence
// cut in two by a comma invalid, as it is in the file.
enum class Utf8Kind { Ascii, Utf8, NotUtf8 };
Utf8Kind ClassifyUtf8(std::string_view bytes) noexcept;

// The offset of the first byte at or after `from` that is not ASCII; npos when there is none.
std::size_t FirstNonAscii(std::string_view bytes, std::size_t from = 0) noexcept;
// The offset of the first byte at or after `from` that does not start a valid UTF-8 sequence, or
// of the start of the first sequence that is cut short or malformed (an overlong form, a
// surrogate, a code point past U+10FFFF); npos when all is valid. `from` must not fall inside a
// sequence.
std::size_t FirstInvalidUtf8(std::string_view bytes, std::size_t from = 0) noexcept;

// True for the bytes that open a double-byte character in code page 932.
constexpr bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Appends code point c (at most U+10FFFF, no surrogate) to out as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// The length of the character that text starts with (text not empty), as the replacing
// conversions count it, so that one bad character becomes one replacement on either platform.
// Code page 932: a lead byte with a trail byte after it is two bytes, anything else one.
// UTF-8: the length its first byte announces, or one for a stray byte or a cut-off sequence.
std::size_t Cp932CharLength(std::string_view cp932);
std::size_t Utf8CharLength(std::string_view utf8);

// The character sets the link check reads a web page in: UTF-8, the three Japanese ones that old
// personal sites use, and Windows' western code page, which pages labelled ISO-8859-1 or ASCII
// are read in, as browsers read them. Shift_JIS is read as code page 932, its superset.
enum class Charset { Utf8, Cp932, EucJp, Iso2022Jp, Windows1252 };

// The charset a label names (the charset of a Content-Type, of a <meta> tag), in any case and
// with spaces or quotes around it, by the labels browsers know for each; nullopt for another
// charset, or for no label at all.
std::optional<Charset> CharsetNamed(std::string_view label);

// bytes in charset, as UTF-8; whatever is no character there becomes U+FFFD.
std::string ToUtf8(Charset charset, std::string_view bytes);
// The platform's part of ToUtf8: EUC-JP and Windows-1252 through the system's own converter
// (iconv, the Windows code pages).
std::string OtherCharsetToUtf8(Charset charset, std::string_view bytes);

} // namespace qvn
