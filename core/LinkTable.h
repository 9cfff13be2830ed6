// The link data file as an editable table: one record a line, each keeping the bytes it was read
// with, its line end and its line number, so that saving writes back unchanged every line that
// was not edited. Lines are found by LineReader and fields cut by SplitFields, as everywhere else;
// an edited line is its fields joined by commas, the exact inverse of that cut.
#pragma once

#include "Errors.h"
#include "FileIO.h"
#include "FilePath.h"
#include "Links.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qvn {

// The bytes that ended a line: none only for the last line of a text that has no break at its end
// (or that a NUL byte ends).
enum class LineBreak : std::uint8_t { None, CrLf, Lf, Cr };

std::string_view LineBreakBytes(LineBreak lineBreak);

// What a field may not hold, refused when it is set: the message names the field and the reason.
class FieldError : public Error {
public:
    using Error::Error;
};

struct UrlEdits;

class TLinkTable {
public:
    // One site as the table holds it: where its line's bytes are, its line end and the line it
    // came from. A plain value: taken out and put back, it restores the site byte for byte, which
    // is how an edit is undone.
    class Record {
    public:
        // The 1-based line of the file it was read from; 0 for a site added since.
        std::uint32_t LineNumber() const { return line_; }
        LineBreak Break() const { return break_; }
        bool Edited() const { return edited_; }
        bool operator==(const Record&) const = default;

    private:
        friend class TLinkTable;
        std::uint64_t begin_ = 0;  // offset of the line in text_, or in edits_ when edited_
        std::uint64_t length_ = 0; // of the line, without its break
        std::uint32_t line_ = 0;
        LineBreak break_ = LineBreak::None;
        bool edited_ = false;
    };

    // An empty table: no records, code page 932, CR LF.
    TLinkTable() = default;

    // The table of a file's text (ReadCSV reads it).
    static TLinkTable Parse(std::string bytes);

    int Count() const { return static_cast<int>(records_.size()); }
    // The record's line without its break, its fields, and one field. Views stay valid until the
    // table next changes. ListIndexError outside 0 to Count() − 1.
    std::string_view Line(int row) const;
    TLinkRecord Fields(int row) const;
    std::string_view Field(int row, LinkField field) const { return Fields(row)[field]; }

    // The file's text is UTF-8 (EncodingJudge, as a template's encoding is judged); otherwise code
    // page 932. Decided when the file is read; edits are written in it.
    bool Utf8() const { return utf8_; }
    // The file's first line end, CR LF when it has none: what edited and new lines end with.
    LineBreak DefaultBreak() const { return defaultBreak_; }
    // A NUL byte ended the text before the file's end (as in UTF-16): the bytes from it on are
    // no site's, and are written back as they were.
    bool EndsAtNul() const { return tail_ < text_.size(); }

    // The record at row, and putting one there in its place.
    Record At(int row) const;
    void Put(int row, const Record& record);

    // The record at row with one field replaced by text given as UTF-8 and written in the file's
    // encoding; the table itself is not changed. FieldError when the field cannot hold the text:
    // a comma outside the description, a line break or NUL byte, a character the encoding lacks.
    Record WithField(int row, LinkField field, std::string_view utf8);
    // A new site with four empty fields.
    Record NewSite();

    // The edits that give each record (of rows, or of every record when rows is empty) whose URL
    // field is a key of moved that key's value, a URL given as UTF-8 and written in the file's
    // encoding as WithField writes it; every other byte of the line stays, its line end too. The
    // table is not changed: the caller puts each edit's `after` (and keeps the edits to undo
    // them). Both front ends repair moved links through it: qvn-build --fix-moved, and the link
    // list window.
    UrlEdits MovedUrlEdits(const std::unordered_map<std::string, std::string>& moved,
                           std::span<const int> rows = {});

    // Inserts records before row (0 to Count()).
    void Insert(int row, const std::vector<Record>& records);
    // Removes count records from row on and returns them.
    std::vector<Record> Remove(int row, int count);
    // Moves the record at from so that it ends up at row to.
    void Move(int from, int to);

    // The file's bytes: every record's line and line end in order, then whatever followed the
    // text's end (a NUL byte and what comes after it). A line end is changed only where the lines
    // would otherwise read back differently: a line that lost its break is followed by another
    // one, or a CR would join the LF of an empty line after it.
    void Write(const ByteSink& sink) const;
    // The file's bytes as read, which is what Write gives until the table first changes; null
    // after any change (an edit that was undone too). Spares a copy of a large unchanged file.
    const std::string* TextAsRead() const { return changed_ ? nullptr : &text_; }
    // Writes the file through ReplaceFile: atomically, with no temporary file left.
    void SaveToFile(const FilePath& path) const;

private:
    std::string_view Bytes(const Record& record) const;
    LineBreak WrittenBreak(std::size_t i) const;
    Record AddLine(std::string_view line);

    std::string text_;  // the file as read
    std::string edits_; // the lines of edited and new records, back to back, only ever appended
    std::vector<Record> records_;
    std::size_t tail_ = 0; // text_ from here on follows the text's end
    bool utf8_ = false;
    LineBreak defaultBreak_ = LineBreak::CrLf;
    bool changed_ = false; // a record was put, inserted, removed or moved since the file was read
};

// One record's edit: putting `after` at row makes it, putting `before` back undoes it.
struct RecordEdit {
    int row = 0;
    TLinkTable::Record before;
    TLinkTable::Record after;
};

// The edits that replace URLs, and the rows whose new URL the field cannot hold, with why.
struct UrlEdits {
    std::vector<RecordEdit> edits;
    std::vector<std::pair<int, std::string>> refused;
};

// The records of a table as a source for the page builder.
class TableLinks final : public LinkSource {
public:
    explicit TableLinks(const TLinkTable& table) : table_(table) {}
    bool Next(TLinkRecord& record) override;

private:
    const TLinkTable& table_;
    int next_ = 0;
};

} // namespace qvn
