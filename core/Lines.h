// The byte rules shared by everything that reads or writes lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qvn {

// The offset of the first CR, LF or NUL at or after pos, or size. Lines are scanned eight bytes
// at a time: a word with no byte below 0x0E cannot hold a break.
inline std::size_t LineEnd(const char* data, std::size_t pos, std::size_t size) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    while (pos + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + pos, 8);
        // Sets a high bit for every byte below 0x0E, and for no word without one (a borrow
        // only spreads from such a byte): the rest of the scan finds which.
        if ((word - ones * 0x0E) & ~word & highs)
            break;
        pos += 8;
    }
    while (pos < size && data[pos] != '\n' && data[pos] != '\r' && data[pos] != '\0')
        ++pos;
    return pos;
}

// Calls line(begin, end) for each line of bytes, in order, with the offsets of the line's text.
// CR, LF and CR LF each end one line; LF CR is two breaks; a NUL byte ends the text (nothing after
// it is read); a break at the very end adds no empty line; a last line without a break counts.
template <typename Line> void ForEachLine(std::string_view bytes, Line&& line) {
    const char* const data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    while (pos < size && data[pos] != '\0') {
        const std::size_t end = LineEnd(data, pos, size);
        line(pos, end);
        pos = end;
        if (pos < size && data[pos] == '\r') {
            ++pos;
            if (pos < size && data[pos] == '\n')
                ++pos;
        } else if (pos < size && data[pos] == '\n') {
            ++pos;
        } // a NUL is not stepped over: it stops the loop
    }
}

// Turns lines into a file image, every line followed by CR LF, and hands it on in blocks of about
// 1 MiB: a page of any size goes out in few writes and is never copied whole.
template <typename Sink> class CrLfWriter {
public:
    explicit CrLfWriter(Sink& sink) : sink_(sink) { block_.reserve(kBlock + 2); }
    CrLfWriter(const CrLfWriter&) = delete;
    CrLfWriter& operator=(const CrLfWriter&) = delete;

    void Line(std::string_view line) {
        if (block_.size() + line.size() + 2 > kBlock) {
            Flush();
            if (line.size() + 2 > kBlock) { // a huge line goes out directly
                sink_(line);
                sink_(std::string_view("\r\n"));
                return;
            }
        }
        block_.append(line).append("\r\n");
    }
    // Hands on what is left; call once at the end.
    void Flush() {
        if (!block_.empty())
            sink_(std::string_view(block_));
        block_.clear();
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    Sink& sink_;
    std::string block_;
};

} // namespace qvn
