// What the check learns from a text file's bytes: which bytes are invalid in UTF-8 and in code
// page 932, which encoding the file is in as a whole and which lines do not fit it, columns in
// characters, and where a NUL byte ended the text.
#pragma once

#include "Lines.h"

#include <array>
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

// The encodings a file is told apart by. Text with no byte above 0x7F reads the same in UTF-8 and
// Shift_JIS; ISO-2022-JP is such text with escape sequences; UTF-16 is seen in its first bytes.
enum class Encoding { Ascii, Utf8, Cp932, EucJp, Iso2022Jp, Utf16 };

// The encoding's name as editors offer it, for messages.
const char* EncodingName(Encoding encoding);

// A place on a line counted in characters, as editors count columns: in UTF-8 and in code page
// 932, the file's encoding choosing between them when it is printed. 0: no column.
struct Column {
    std::size_t utf8 = 0;
    std::size_t cp932 = 0;
    // The columns of the byte at `offset` of line.
    static Column At(std::string_view line, std::size_t offset);
    std::size_t In(Encoding encoding) const { return encoding == Encoding::Utf8 ? utf8 : cp932; }
};

// A line that does not fit an encoding: where its first bad byte is.
struct BadByte {
    long long line = 0;
    Column column;
    bool cutShort = false; // only a character cut short at the end of the line
};

// The bad lines of one encoding: the first few kept, the rest counted.
struct BadLines {
    std::vector<BadByte> kept;
    long long lines = 0;     // every line that does not fit, kept or not
    long long firstMore = 0; // the first line past the kept ones
};

// Decides a file's encoding from its lines, fed in order, and keeps the first lines that do not
// fit UTF-8 and code page 932, to be reported once the file's encoding is known. A file is UTF-8
// when more of its lines with characters outside ASCII are valid UTF-8 than are not; so a UTF-8
// file with a few pasted lines of another encoding stays UTF-8 and only those lines are named.
// Memory stays flat: past `keep` lines of an encoding they are only counted.
class EncodingScan {
public:
    explicit EncodingScan(std::size_t keep) : keep_(keep) {}

    // Scans line number `line`; its bad bytes are kept only when `report` is set.
    void Line(long long line, std::string_view text, bool report);
    // The file's first bytes show UTF-16.
    void SetUtf16() { utf16_ = true; }

    Encoding Result() const;
    // The first character that is not ASCII, or for ISO-2022-JP text the first escape into
    // Japanese (line 0 when there is none).
    const BadByte& NonAscii() const {
        return firstNonAscii_.line > 0 ? firstNonAscii_ : firstEscape_;
    }
    // The lines (with `report` set) that do not fit each encoding.
    const BadLines& BadUtf8() const { return utf8_; }
    const BadLines& BadCp932() const { return cp932_; }

private:
    // Counts a bad line; true when it is to be kept.
    static bool Keep(BadLines& bad, std::size_t keep, long long line);

    std::size_t keep_;
    BadByte firstNonAscii_;
    BadByte firstEscape_;
    long long utf8Good_ = 0; // lines with characters outside ASCII that are valid UTF-8
    long long utf8Bad_ = 0;  // and those that are not, reported or not
    long long cp932Bad_ = 0;
    BadLines utf8_;
    BadLines cp932_;
    bool eucPossible_ = true; // every line so far is valid EUC-JP
    long long eucPairs_ = 0;  // its two-byte characters
    long long eucKana_ = 0;   // and those that are hiragana or katakana
    bool iso2022_ = false;    // a line holds an ISO-2022-JP escape sequence
    bool utf16_ = false;
};

// Hands a source's bytes on unchanged and notes where the first NUL byte is, and the source's
// first bytes. A line reader ends its text at the first NUL, so this is where the text it read
// ends.
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
    // Whether the first bytes are those of UTF-16 text: a byte order mark, or ASCII characters
    // each with a zero byte beside it.
    bool LooksUtf16() const;

private:
    ByteSource& source_;
    unsigned long long read_ = 0;
    char last_ = '\n'; // the last byte passed on; a NUL at the very start opens line 1
    bool found_ = false;
    unsigned long long nulOffset_ = 0;
    bool startsLine_ = false;
    std::array<unsigned char, 4> head_{}; // the first bytes, as many as were read
    std::size_t headSize_ = 0;
};

} // namespace qvn::check
