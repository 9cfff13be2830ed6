// Code page 932 <-> UTF-8 through glibc iconv.
#include "Codec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace qvn {
namespace {

// One iconv conversion descriptor, opened per call: conversions are short and rare enough that
// caching buys nothing, and a fresh descriptor carries no shift state over from a failed call.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much of in as it can, appending to out and advancing in. Returns 0 when all of
    // in is converted, else the errno that stopped it (EILSEQ, EINVAL).
    int Convert(std::string_view& in, std::string& out) {
        char buf[4096];
        while (!in.empty()) {
            char* src = const_cast<char*>(in.data());
            std::size_t srcLeft = in.size();
            char* dst = buf;
            std::size_t dstLeft = sizeof buf;
            std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
            out.append(buf, static_cast<std::size_t>(dst - buf));
            in.remove_prefix(in.size() - srcLeft);
            if (err != 0 && err != E2BIG)
                return err;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

std::optional<std::string> ConvertExact(const char* to, const char* from, std::string_view in) {
    Iconv cd(to, from);
    std::string out;
    out.reserve(in.size() * 3 / 2);
    if (cd.Convert(in, out) != 0)
        return std::nullopt;
    return out;
}

// Length in bytes of the UTF-8 sequence that starts with b (1 for a stray byte), so that an
// unmappable character is replaced whole.
std::size_t Utf8SequenceLength(unsigned char b) {
    if (b >= 0xF0 && b <= 0xF4)
        return 4;
    if (b >= 0xE0)
        return b <= 0xEF ? 3 : 1;
    if (b >= 0xC2)
        return 2;
    return 1;
}

bool IsCp932TrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

} // namespace

std::optional<std::string> Cp932ToUtf8Exact(std::string_view cp932) {
    return ConvertExact("UTF-8", "CP932", cp932);
}

std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8) {
    return ConvertExact("CP932", "UTF-8", utf8);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    Iconv cd("UTF-8", "CP932");
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    while (cd.Convert(cp932, out) != 0) {
        // A lead byte with a proper trail byte is one unassigned character; anything else is a
        // single bad byte, so a following ASCII byte stays readable.
        const auto b0 = static_cast<unsigned char>(cp932[0]);
        const bool pair = IsCp932LeadByte(b0) && cp932.size() >= 2 &&
                          IsCp932TrailByte(static_cast<unsigned char>(cp932[1]));
        out += "\xEF\xBF\xBD";
        cp932.remove_prefix(pair ? 2 : 1);
    }
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    Iconv cd("CP932", "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    while (cd.Convert(utf8, out) != 0) {
        std::size_t skip = Utf8SequenceLength(static_cast<unsigned char>(utf8[0]));
        // A truncated or malformed sequence: drop only its first byte.
        for (std::size_t i = 1; i < skip; ++i) {
            if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
                skip = 1;
                break;
            }
        }
        out += '?';
        utf8.remove_prefix(skip);
    }
    return out;
}

Utf8Kind ClassifyUtf8(std::string_view bytes) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    bool wide = false;
    while (p != end) {
        if (*p < 0x80) {
            // Link data has long ASCII runs (addresses): after one ASCII byte, eight at a time.
            ++p;
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                if ((word & 0x8080808080808080u) != 0)
                    break;
                p += 8;
            }
            continue;
        }
        wide = true;
        // The second byte's range is narrower after some leads: that is what rules out overlong
        // forms (E0, F0), surrogates (ED) and code points above U+10FFFF (F4). Three bytes, the
        // length of Japanese characters, are tried first.
        const unsigned char lead = *p;
        std::ptrdiff_t length = 0;
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
            return Utf8Kind::NotUtf8; // a trail byte, C0, C1 or F5 to FF
        }
        if (end - p < length || p[1] < low || p[1] > high)
            return Utf8Kind::NotUtf8;
        if (length >= 3 && (p[2] & 0xC0) != 0x80)
            return Utf8Kind::NotUtf8;
        if (length == 4 && (p[3] & 0xC0) != 0x80)
            return Utf8Kind::NotUtf8;
        p += length;
    }
    return wide ? Utf8Kind::Utf8 : Utf8Kind::Ascii;
}

std::string WithFullStop(std::string_view message) {
    if (message.empty())
        return std::string(message);
    // Walk whole characters from the start: a trail byte may look like anything, even ".".
    std::size_t last = 0;
    for (std::size_t i = 0; i < message.size();) {
        last = i;
        i += IsCp932LeadByte(static_cast<unsigned char>(message[i])) ? 2 : 1;
    }
    std::string text(message);
    if (static_cast<unsigned char>(message[last]) > 0x2E)
        text += '.';
    return text;
}

} // namespace qvn
