#include "TextScan.h"

#include "Codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

namespace qvn::check {
namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Which bytes above 0x7F are code page 932 characters by themselves, and which lead-trail pairs
// are characters, as the system's codec (glibc's CP932 table, through the core's converter) decodes
// them.
class Cp932Table {
public:
    Cp932Table() {
        // Every byte above 0x7F that opens no pair, then every lead byte with every byte that can
        // follow one, decoded in one pass: each unit comes out as one character, U+FFFD when it
        // is none.
        std::string units;
        for (int b = 0x80; b <= 0xFF; ++b) {
            if (!IsCp932LeadByte(static_cast<unsigned char>(b)))
                units += static_cast<char>(b);
        }
        const std::size_t singles = units.size();
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsCp932LeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail != 0x7F)
                    units += {static_cast<char>(lead), static_cast<char>(trail)};
            }
        }
        const std::string decoded = Cp932ToUtf8(units);
        std::size_t in = 0, out = 0;
        while (in < units.size() && out < decoded.size()) {
            const auto first = static_cast<unsigned char>(units[in]);
            const std::size_t width = in < singles ? 1 : 2;
            std::size_t length = 1;
            while (out + length < decoded.size() &&
                   IsContinuation(static_cast<unsigned char>(decoded[out + length])))
                ++length;
            const bool valid = decoded.compare(out, length, "\xEF\xBF\xBD") != 0;
            if (width == 1)
                singles_[first] = valid;
            else
                pairs_[Index(first, static_cast<unsigned char>(units[in + 1]))] = valid;
            in += width;
            out += length;
        }
    }

    // Whether b above 0x7F is a character by itself (a half-width katakana).
    bool Single(unsigned char b) const { return singles_[b]; }
    bool Pair(unsigned char lead, unsigned char trail) const { return pairs_[Index(lead, trail)]; }

private:
    static std::size_t Index(unsigned char lead, unsigned char trail) {
        return (std::size_t{lead} << 8) | trail;
    }

    std::array<bool, 256> singles_{};
    std::array<bool, 65536> pairs_{}; // a byte a pair: one load to test, and 64 KiB
};

const Cp932Table& Cp932() {
    static const Cp932Table table;
    return table;
}

// The end of a run of ASCII bytes from i on: the offset of the next byte above 0x7F, or n. Eight
// bytes at a time, and inline: in Japanese text most runs are a few bytes between characters.
std::size_t AsciiRunEnd(const unsigned char* p, std::size_t i, std::size_t n) {
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= n; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, sizeof word);
            if (const std::uint64_t high = word & 0x8080808080808080u; high != 0)
                return i + static_cast<std::size_t>(std::countr_zero(high)) / 8;
        }
    }
    while (i < n && p[i] < 0x80)
        ++i;
    return i;
}

} // namespace

std::size_t FirstInvalidCp932(std::string_view text, std::size_t from) {
    const Cp932Table& table = Cp932();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = from;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            i = AsciiRunEnd(p, i + 1, n);
        } else if (table.Single(b)) {
            ++i;
        } else if (i + 1 < n && table.Pair(b, p[i + 1])) { // only a lead byte opens a pair
            i += 2;
        } else {
            return i;
        }
    }
    return kNone;
}

const char* EncodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Cp932:
        return "Shift_JIS";
    case Encoding::EucJp:
        return "EUC-JP";
    case Encoding::Iso2022Jp:
        return "ISO-2022-JP (JIS)";
    case Encoding::Utf16:
        return "UTF-16 (Unicode)";
    case Encoding::Ascii:
        break;
    }
    return "ASCII";
}

Column Column::At(std::string_view line, std::size_t offset) {
    Column column{1, 1};
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    // A byte that is no part of a whole UTF-8 character shows as one character of its own.
    for (std::size_t i = 0, end = std::min(offset, line.size()); i < end; ++column.utf8) {
        const std::size_t length = p[i] < 0x80   ? 1
                                   : p[i] < 0xC2 ? 0
                                   : p[i] < 0xE0 ? 2
                                   : p[i] < 0xF0 ? 3
                                   : p[i] < 0xF5 ? 4
                                                 : 0;
        std::size_t whole = length > 0 && i + length <= end ? length : 1;
        for (std::size_t k = 1; k < whole; ++k) {
            if (!IsContinuation(p[i + k]))
                whole = 1;
        }
        i += whole;
    }
    const Cp932Table& table = Cp932();
    for (std::size_t i = 0; i < offset && i < line.size(); ++column.cp932) {
        const bool pair = p[i] >= 0x80 && !table.Single(p[i]) && i + 1 < offset &&
                          i + 1 < line.size() && table.Pair(p[i], p[i + 1]);
        i += pair ? 2 : 1;
    }
    return column;
}

namespace {

// Whether text from `from` on is EUC-JP (a pair of bytes A1 to FE for a character, 8E and a
// half-width katakana, 8F and a pair), counting its pairs and those that are hiragana or katakana
// (rows A4, A5): Japanese text has many, code page 932 half-width katakana read as EUC-JP few.
bool IsEucJp(std::string_view text, std::size_t from, long long& pairs, long long& kana) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto high = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    for (std::size_t i = from, n = text.size(); i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
        } else if (b == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
            i += 2;
        } else if (b == 0x8F && i + 2 < n && high(p[i + 1]) && high(p[i + 2])) {
            i += 3;
        } else if (high(b) && i + 1 < n && high(p[i + 1])) {
            ++pairs;
            kana += b == 0xA4 || b == 0xA5;
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Whether the bytes from `bad` to the end of the line are the start of one UTF-8 character.
bool CutShortUtf8(std::string_view text, std::size_t bad) {
    const auto lead = static_cast<unsigned char>(text[bad]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4
                               : lead >= 0xE0               ? 3
                               : lead >= 0xC2               ? 2
                                                            : 0;
    if (length == 0 || lead > 0xF4 || text.size() - bad >= length)
        return false;
    for (std::size_t i = bad + 1; i < text.size(); ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

} // namespace

bool EncodingScan::Keep(BadLines& bad, std::size_t keep, long long line) {
    ++bad.lines;
    if (bad.kept.size() < keep)
        return true;
    if (bad.firstMore == 0)
        bad.firstMore = line;
    return false;
}

void EncodingScan::Line(long long line, std::string_view text, bool report) {
    const std::size_t nonAscii = FirstNonAscii(text);
    if (nonAscii == kNone) { // ASCII is valid in both
        if (!iso2022_ && text.find('\x1B') != std::string_view::npos) {
            std::size_t at = text.find("\x1B$B");
            if (at == std::string_view::npos)
                at = text.find("\x1B$@");
            if (at != std::string_view::npos) {
                iso2022_ = true;
                firstEscape_ = {line, Column::At(text, at)};
            }
        }
        return;
    }
    if (firstNonAscii_.line == 0)
        firstNonAscii_ = {line, Column::At(text, nonAscii)};
    // In a code page 932 file this stops at the line's first double-byte character or so.
    const std::size_t badUtf8 = FirstInvalidUtf8(text, nonAscii);
    if (badUtf8 == kNone) {
        ++utf8Good_;
    } else {
        ++utf8Bad_;
        if (eucPossible_)
            eucPossible_ = IsEucJp(text, nonAscii, eucPairs_, eucKana_);
        // Where it is is worked out only for the lines kept: in a code page 932 file, that is
        // every line.
        if (report && Keep(utf8_, keep_, line))
            utf8_.kept.push_back({line, Column::At(text, badUtf8), CutShortUtf8(text, badUtf8)});
    }
    if (const std::size_t bad = FirstInvalidCp932(text, nonAscii); bad != kNone) {
        ++cp932Bad_;
        if (report && Keep(cp932_, keep_, line))
            cp932_.kept.push_back(
                {line, Column::At(text, bad),
                 bad + 1 == text.size() && IsCp932LeadByte(static_cast<unsigned char>(text[bad]))});
    }
}

Encoding EncodingScan::Result() const {
    if (utf16_)
        return Encoding::Utf16;
    if (firstNonAscii_.line == 0)
        return iso2022_ ? Encoding::Iso2022Jp : Encoding::Ascii;
    if (utf8Bad_ == 0)
        return Encoding::Utf8;
    if (eucPossible_ && eucKana_ > 0 && eucKana_ * 4 >= eucPairs_ && utf8Good_ <= utf8Bad_)
        return Encoding::EucJp;
    // Mostly UTF-8: the lines that are not are pasted from elsewhere, or cut short. A tie goes to
    // the encoding with fewer lines that do not fit it.
    if (utf8Good_ > utf8Bad_ || (utf8Good_ == utf8Bad_ && utf8Bad_ < cp932Bad_))
        return Encoding::Utf8;
    return Encoding::Cp932;
}

std::size_t NulWatch::Read(char* buffer, std::size_t size) {
    const std::size_t n = source_.Read(buffer, size);
    if (!found_ && n > 0) {
        if (const void* nul = std::memchr(buffer, '\0', n)) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer);
            const char before = at > 0 ? buffer[at - 1] : last_;
            found_ = true;
            nulOffset_ = read_ + at;
            startsLine_ = before == '\n' || before == '\r';
        }
        last_ = buffer[n - 1];
    }
    for (std::size_t i = 0; headSize_ < head_.size() && i < n; ++i)
        head_[headSize_++] = static_cast<unsigned char>(buffer[i]);
    read_ += n;
    return n;
}

bool NulWatch::LooksUtf16() const {
    if (headSize_ >= 2 &&
        ((head_[0] == 0xFF && head_[1] == 0xFE) || (head_[0] == 0xFE && head_[1] == 0xFF)))
        return true;
    if (headSize_ < 4)
        return false;
    const auto ascii = [](unsigned char b) { return b != 0 && b < 0x80; };
    return (ascii(head_[0]) && head_[1] == 0 && ascii(head_[2]) && head_[3] == 0) ||
           (head_[0] == 0 && ascii(head_[1]) && head_[2] == 0 && ascii(head_[3]));
}

} // namespace qvn::check
