// The byte rules shared by everything that reads or writes lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qvn {

// Calls line(begin, end) for each line of bytes, in order, with the offsets of the line's text.
// CR, LF and CR LF each end one line; LF CR is two breaks; a NUL byte ends the text (nothing after
// it is read); a break at the very end adds no empty line; a last line without a break counts.
template <typename Line>
void ForEachLine(std::string_view bytes, Line&& line) {
    const char* const data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    while (pos < size && data[pos] != '\0') {
        std::size_t end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r' && data[end] != '\0')
            ++end;
        line(pos, end);
        if (end < size && data[end] == '\r') {
            ++end;
            if (end < size && data[end] == '\n')
                ++end;
        } else if (end < size && data[end] == '\n') {
            ++end;
        } // a NUL is not stepped over: it stops the loop
        pos = end;
    }
}

// Turns lines into a file image, every line followed by CR LF, and hands it on in blocks of about
// 1 MiB: a page of any size goes out in few writes and is never copied whole.
template <typename Sink>
class CrLfWriter {
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
