// The byte rules by which text becomes lines and lines become text, shared by everything that
// reads or writes lines: a line list's load and save, the link data reader and the page writer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <algorithm>
#include <string>
#include <string_view>

namespace qvn {

// Bytes read in order from a file or a stream.
class ByteSource {
public:
    // Fills buffer with up to size bytes (size > 0) and returns how many: 0 only at the end.
    // Fewer than asked is not the end.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;

protected:
    ~ByteSource() = default;
};

// Bytes in memory as a source, for the line reader.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : rest_(bytes) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, rest_.size());
        std::copy_n(rest_.data(), n, buffer);
        rest_.remove_prefix(n);
        return n;
    }

private:
    std::string_view rest_;
};

// The offset of the first CR, LF or NUL at or after pos, or size. Lines are scanned eight bytes
// at a time: a word with no byte below 0x0E cannot hold a break, and in one that has such bytes the
// first of them is found from the word's bits.
inline std::size_t LineEnd(const char* data, std::size_t pos, std::size_t size) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    for (;;) {
        if constexpr (std::endian::native == std::endian::little) {
            while (pos + 8 <= size) {
                std::uint64_t word;
                std::memcpy(&word, data + pos, 8);
                // Sets the high bit of every byte below 0x0E, and of no byte before the first of
                // them (a borrow only spreads from such a byte to the bytes after it).
                const std::uint64_t below = (word - ones * 0x0E) & ~word & highs;
                if (below != 0) {
                    pos += static_cast<std::size_t>(std::countr_zero(below)) / 8;
                    break;
                }
                pos += 8;
            }
        }
        if (pos >= size)
            return size;
        const char c = data[pos];
        if (c == '\n' || c == '\r' || c == '\0')
            return pos;
        ++pos; // a byte below 0x0E that ends no line (a tab), or the last few bytes one by one
    }
}

// Splits the bytes of a source into lines as they arrive, a block at a time, so a file of any
// size is read in constant memory (a line is held whole, however long). CR, LF and CR LF each end
// one line; LF CR is two breaks; a NUL byte ends the text (nothing after it is read); a break at
// the very end adds no empty line; a last line without a break counts. Nothing else is touched:
// no character set, no byte-order mark, no trimming.
class LineReader {
public:
    explicit LineReader(ByteSource& source) : source_(source) {}
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, without its break; false at the end of the text. The view stays valid until
    // the next call. A failure of the source propagates.
    bool Next(std::string_view& line);

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    // Reads more bytes after end_, first moving the unread part to the front (or growing the
    // buffer when the unread part fills it). False at the end of the source.
    bool Fill();

    ByteSource& source_;
    std::unique_ptr<char[]> buffer_; // not cleared first: only the bytes read are ever looked at
    std::size_t size_ = 0;           // of buffer_
    std::size_t pos_ = 0;     // the first unread byte
    std::size_t end_ = 0;     // one past the last byte read
    bool sourceDone_ = false; // the source has nothing more
    bool textDone_ = false;   // the end of the text was reached (end of the bytes, or a NUL)
    bool afterCr_ = false;    // the last line ended with CR: an LF right after it belongs to it
};

// Turns lines into text, every line followed by CR LF, and hands it on in blocks of about
// 1 MiB: text of any size goes out in few writes and is never held whole. sink(block) takes the
// block's bytes and leaves it empty to be filled again (it may swap in another buffer).
template <typename Sink> class CrLfWriter {
public:
    explicit CrLfWriter(Sink& sink) : sink_(sink) { block_.reserve(kBlock); }
    CrLfWriter(const CrLfWriter&) = delete;
    CrLfWriter& operator=(const CrLfWriter&) = delete;

    void Line(std::string_view line) {
        if (block_.size() + line.size() + 2 > block_.capacity() && !block_.empty())
            Flush();
        block_.append(line).append("\r\n"); // a line longer than a block makes the block longer
        if (block_.size() >= kBlock)
            Flush();
    }
    // Appends a line made in place, without a copy of its own: make(block) appends the line's
    // bytes to block (about `bound` of them at most) and may change them after appending.
    template <typename Make> void MakeLine(std::size_t bound, Make&& make) {
        if (block_.size() + bound + 2 > block_.capacity() && !block_.empty())
            Flush();
        make(block_);
        block_.append("\r\n");
        if (block_.size() >= kBlock)
            Flush();
    }
    // Hands on what is left; call once at the end.
    void Flush() {
        if (!block_.empty())
            sink_(block_);
        block_.clear();
        block_.reserve(kBlock);
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    Sink& sink_;
    std::string block_;
};

} // namespace qvn
