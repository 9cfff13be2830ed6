// What qvn-build --check learns from a text file's bytes: which bytes are invalid in UTF-8 and in
// code page 932, which encoding the file is in, and where a NUL byte ended the text.
#pragma once

#include "Lines.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace qvn::check {

constexpr std::size_t kNone = std::string_view::npos;

// The offset of the first byte at or after `from` that is invalid in code page 932 as the
// system's codec reads it: a byte that is no character alone and opens none, or a lead byte whose
// pair with the next byte is not an assigned character (a lead byte at the end of the text
// included). `from` must not fall on a trail byte.
std::size_t FirstInvalidCp932(std::string_view text, std::size_t from = 0);

// The encodings a file is told apart by. Text with no byte above 0x7F reads the same in both.
enum class Encoding { Ascii, Utf8, Cp932 };

// "UTF-8" or "Shift_JIS (CP932)", for messages about a file that is not all ASCII.
const char* EncodingName(Encoding encoding);

// A byte that is invalid in an encoding: where it is, 1-based, and its value.
struct BadByte {
    long long line = 0;
    std::size_t column = 0;
    unsigned char value = 0;
};

// Decides a file's encoding from its lines, fed in order: UTF-8 when every byte is valid UTF-8
// and some are not ASCII, code page 932 otherwise. Meanwhile it keeps the first bytes that are
// invalid in code page 932, one a line, to be reported should the file turn out to be code page
// 932; the lines past the kept ones are only counted, so memory stays flat.
class EncodingScan {
public:
    explicit EncodingScan(std::size_t keep) : keep_(keep) {}

    // Scans line number `line`; its invalid bytes are kept only when `report` is set.
    void Line(long long line, std::string_view text, bool report);

    Encoding Result() const;
    // The first byte that is not ASCII (line 0 when there is none).
    const BadByte& NonAscii() const { return firstNonAscii_; }
    // The first byte that is invalid UTF-8 (line 0 when there is none).
    const BadByte& BadUtf8() const { return firstBadUtf8_; }
    // How many lines hold a byte that is invalid UTF-8.
    long long Utf8BadLines() const { return badUtf8Lines_; }
    // The kept lines' first invalid code page 932 bytes, how many more lines hold one, and the
    // first of those.
    const std::vector<BadByte>& Cp932Kept() const { return badCp932_; }
    long long Cp932More() const { return moreBadCp932_; }
    long long Cp932FirstMore() const { return firstMoreBadCp932_; }

private:
    std::size_t keep_;
    BadByte firstNonAscii_;
    BadByte firstBadUtf8_;
    long long badUtf8Lines_ = 0;
    std::vector<BadByte> badCp932_;
    long long moreBadCp932_ = 0;
    long long firstMoreBadCp932_ = 0;
};

// Hands a source's bytes on unchanged and notes where the first NUL byte is. A line reader ends
// its text at the first NUL, so this is where the text it read ends.
class NulWatch final : public ByteSource {
public:
    explicit NulWatch(ByteSource& source) : source_(source) {}
    std::size_t Read(char* buffer, std::size_t size) override;

    bool Found() const { return found_; }
    // The NUL's offset in the source.
    unsigned long long Offset() const { return nulOffset_; }
    // Whether the NUL opens a line of its own (it is the first byte, or follows a CR or LF)
    // rather than ending the line before it.
    bool StartsLine() const { return startsLine_; }

private:
    ByteSource& source_;
    unsigned long long read_ = 0;
    char last_ = '\n'; // the last byte passed on; a NUL at the very start opens line 1
    bool found_ = false;
    unsigned long long nulOffset_ = 0;
    bool startsLine_ = false;
};

} // namespace qvn::check
