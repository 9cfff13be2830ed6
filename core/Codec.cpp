// The parts of the codec that are the same on every platform: character lengths, the UTF-8
// check and the error-box full stop.
#include "Codec.h"

#include <cstdint>
#include <cstring>

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
