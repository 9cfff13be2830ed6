// The parts of the codec that are the same on every platform: character lengths and the UTF-8
// check.
#include "Codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace qvn {
namespace {

bool IsCp932TrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

} // namespace

std::size_t Cp932CharLength(std::string_view cp932) {
    const bool pair = IsCp932LeadByte(static_cast<unsigned char>(cp932[0])) && cp932.size() >= 2 &&
                      IsCp932TrailByte(static_cast<unsigned char>(cp932[1]));
    return pair ? 2 : 1;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t Utf8CharLength(std::string_view utf8) {
    const auto b = static_cast<unsigned char>(utf8[0]);
    std::size_t length = 1;
    if (b >= 0xF0 && b <= 0xF4)
        length = 4;
    else if (b >= 0xE0 && b <= 0xEF)
        length = 3;
    else if (b >= 0xC2 && b <= 0xDF)
        length = 2;
    // A truncated or malformed sequence counts its first byte only.
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

std::size_t FirstNonAscii(std::string_view bytes, std::size_t from) noexcept {
    // Link data has long ASCII runs (addresses): eight bytes at a time.
    std::size_t i = from;
    while (i + 8 <= bytes.size()) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            break;
        i += 8;
    }
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        ++i;
    return i < bytes.size() ? i : std::string_view::npos;
}

std::size_t FirstInvalidUtf8(std::string_view bytes, std::size_t from) noexcept {
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = from; i < n;) {
        if (p[i] < 0x80) {
            i = FirstNonAscii(bytes, i + 1);
            if (i == std::string_view::npos)
                break;
        }
        // The second byte's range is narrower after some leads: that is what rules out overlong
        // forms (E0, F0), surrogates (ED) and code points above U+10FFFF (F4). Three bytes, the
        // length of Japanese characters, are tried first.
        const unsigned char lead = p[i];
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            return i; // a trail byte, C0, C1 or F5 to FF
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

Utf8Kind ClassifyUtf8(std::string_view bytes) noexcept {
    const std::size_t first = FirstNonAscii(bytes);
    if (first == std::string_view::npos)
        return Utf8Kind::Ascii;
    return FirstInvalidUtf8(bytes, first) == std::string_view::npos ? Utf8Kind::Utf8
                                                                    : Utf8Kind::NotUtf8;
}

namespace {

// The labels of each charset, in lower case, as browsers take them (the WHATWG's list, for these).
constexpr std::pair<std::string_view, Charset> kLabels[] = {
    {"utf-8", Charset::Utf8},
    {"utf8", Charset::Utf8},
    {"unicode-1-1-utf-8", Charset::Utf8},
    {"shift_jis", Charset::Cp932},
    {"shift-jis", Charset::Cp932},
    {"sjis", Charset::Cp932},
    {"x-sjis", Charset::Cp932},
    {"ms_kanji", Charset::Cp932},
    {"ms932", Charset::Cp932},
    {"cp932", Charset::Cp932},
    {"windows-31j", Charset::Cp932},
    {"csshiftjis", Charset::Cp932},
    {"euc-jp", Charset::EucJp},
    {"x-euc-jp", Charset::EucJp},
    {"cseucpkdfmtjapanese", Charset::EucJp},
    {"iso-2022-jp", Charset::Iso2022Jp},
    {"csiso2022jp", Charset::Iso2022Jp},
    {"iso-8859-1", Charset::Windows1252},
    {"iso8859-1", Charset::Windows1252},
    {"latin1", Charset::Windows1252},
    {"l1", Charset::Windows1252},
    {"us-ascii", Charset::Windows1252},
    {"ascii", Charset::Windows1252},
    {"windows-1252", Charset::Windows1252},
    {"cp1252", Charset::Windows1252},
};

} // namespace

std::optional<Charset> CharsetNamed(std::string_view label) {
    constexpr std::string_view kAround = " \t\r\n\"'";
    const std::size_t first = label.find_first_not_of(kAround);
    if (first == std::string_view::npos)
        return std::nullopt;
    label = label.substr(first, label.find_last_not_of(kAround) - first + 1);
    // No label is longer: a name of a megabyte is looked at no further.
    std::array<char, 24> lower{};
    if (label.size() > lower.size())
        return std::nullopt;
    std::ranges::transform(label, lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    const std::string_view key(lower.data(), label.size());
    for (const auto& [name, charset] : kLabels) {
        if (name == key)
            return charset;
    }
    return std::nullopt;
}

namespace {

// ISO-2022-JP as the code page 932 bytes of the same characters: its JIS X 0208 pairs become
// Shift_JIS pairs by arithmetic, its half-width katakana single bytes; ASCII and JIS-Roman stay.
// One rule on every platform, whatever the system's converters know. A character of another set
// (JIS X 0212) or a broken escape becomes a byte that no code page 932 text holds, which the
// conversion after this turns into U+FFFD.
std::string Iso2022JpToCp932(std::string_view bytes) {
    enum class Set { Ascii, Jis0208, Katakana, Other } set = Set::Ascii;
    constexpr char kBad = '\xFF';
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1B) {
            const std::string_view rest = bytes.substr(i + 1);
            const auto to = [&](Set s, std::size_t length) {
                set = s;
                i += length;
            };
            if (rest.starts_with("(B") || rest.starts_with("(J"))
                to(Set::Ascii, 2);
            else if (rest.starts_with("$@") || rest.starts_with("$B"))
                to(Set::Jis0208, 2);
            else if (rest.starts_with("(I"))
                to(Set::Katakana, 2);
            else if (rest.starts_with("$(D"))
                to(Set::Other, 3);
            else
                out += kBad;
            continue;
        }
        if (b == '\r' || b == '\n' || b < 0x21 || b > 0x7E || set == Set::Ascii) {
            out += static_cast<char>(b);
            continue;
        }
        if (set == Set::Katakana) {
            out += static_cast<char>(b + 0x80);
            continue;
        }
        if (i + 1 >= bytes.size() || set == Set::Other) {
            out += kBad;
            i += set == Set::Other ? 1 : 0;
            continue;
        }
        const auto b2 = static_cast<unsigned char>(bytes[++i]);
        if (b2 < 0x21 || b2 > 0x7E) {
            out += kBad;
            continue;
        }
        out += static_cast<char>(((b + 1) >> 1) + (b <= 0x5E ? 0x70 : 0xB0));
        out += static_cast<char>(b2 + ((b & 1) != 0 ? (b2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
    }
    return out;
}

} // namespace

std::string ToUtf8(Charset charset, std::string_view bytes) {
    switch (charset) {
    case Charset::Utf8: {
        std::string out;
        out.reserve(bytes.size());
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t bad = FirstInvalidUtf8(bytes, at);
            if (bad == std::string_view::npos) {
                out.append(bytes.substr(at));
                break;
            }
            out.append(bytes.substr(at, bad - at)).append("\xEF\xBF\xBD");
            at = bad + Utf8CharLength(bytes.substr(bad));
        }
        return out;
    }
    case Charset::Cp932:
        return Cp932ToUtf8(bytes);
    case Charset::Iso2022Jp:
        return Cp932ToUtf8(Iso2022JpToCp932(bytes));
    case Charset::EucJp:
    case Charset::Windows1252:
        break;
    }
    return OtherCharsetToUtf8(charset, bytes);
}

} // namespace qvn
