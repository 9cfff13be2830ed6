// The parts of the codec that are the same on every platform: character lengths and the
// error-box full stop.
#include "Codec.h"

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
