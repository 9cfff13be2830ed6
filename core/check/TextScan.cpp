#include "TextScan.h"

#include "Codec.h"

#include <array>
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

} // namespace

std::size_t FirstInvalidCp932(std::string_view text, std::size_t from) {
    const Cp932Table& table = Cp932();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = from;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            if ((i = FirstNonAscii(text, i + 1)) == kNone) // the rest of a run of ASCII
                return kNone;
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
    return encoding == Encoding::Utf8 ? "UTF-8" : "Shift_JIS (CP932)";
}

void EncodingScan::Line(long long line, std::string_view text, bool report) {
    const std::size_t nonAscii = FirstNonAscii(text);
    if (nonAscii == kNone)
        return; // ASCII is valid in both
    const auto byteAt = [&](std::size_t offset) {
        return BadByte{line, offset + 1, static_cast<unsigned char>(text[offset])};
    };
    if (firstNonAscii_.line == 0)
        firstNonAscii_ = byteAt(nonAscii);
    // In a code page 932 file this stops at the line's first double-byte character or so.
    if (const std::size_t bad = FirstInvalidUtf8(text, nonAscii); bad != kNone) {
        if (badUtf8Lines_++ == 0)
            firstBadUtf8_ = byteAt(bad);
    }
    if (!report)
        return;
    if (const std::size_t bad = FirstInvalidCp932(text, nonAscii); bad != kNone) {
        if (badCp932_.size() < keep_) {
            badCp932_.push_back(byteAt(bad));
        } else if (moreBadCp932_++ == 0) {
            firstMoreBadCp932_ = line;
        }
    }
}

Encoding EncodingScan::Result() const {
    if (firstNonAscii_.line == 0)
        return Encoding::Ascii;
    return firstBadUtf8_.line == 0 ? Encoding::Utf8 : Encoding::Cp932;
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
    read_ += n;
    return n;
}

} // namespace qvn::check
