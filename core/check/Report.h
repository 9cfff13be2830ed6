// The findings of the check about one input file, collected as they are found and handed over in
// the order of their lines and columns, the columns counted in characters of the file's encoding.
#pragma once

#include "Findings.h"
#include "TextScan.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvn::check {

// What a finding is about: the word a program sorts findings by, and for a kind that may come on
// many lines the few Japanese words that name it in the note about those left out.
struct Kind {
    std::string_view id;
    std::string_view words = {};
};

class FileReport {
public:
    // How many findings of a kind that repeats line after line are shown; the rest are counted.
    static constexpr std::size_t kShown = 10;

    // name: the file's name as it was given.
    explicit FileReport(std::string name) : name_(std::move(name)) {}

    // A finding at a line and column; Column{} where a column does not apply.
    void Add(Kind kind, Severity severity, long long line, Column column, std::string text);
    // A finding about the whole file: it has no place, and comes before those on its lines.
    void AddToFile(Kind kind, Severity severity, std::string text) {
        Add(kind, severity, 0, {}, std::move(text));
    }
    // A note about the finding added last, shown right after it.
    void Note(long long line, Column column, std::string text);
    // A finding of a kind that may come on many lines: past kShown of that kind they are only
    // counted, and a note at the first one left out says how many.
    void AddRepeated(Kind kind, Severity severity, long long line, Column column, std::string text);
    // Counts `count` findings of a kind that were left out before they reached the report, the
    // first of them on `line`.
    void AddLeftOut(Kind kind, Severity severity, long long line, long long count);
    // Forgets every finding (a file whose reading says nothing, such as UTF-16 text).
    void Clear();

    // The file's encoding, which decides how columns are counted.
    void SetEncoding(Encoding encoding) { encoding_ = encoding; }

    // Appends the findings to findings in the order of their lines and columns, and adds their
    // counts.
    void AppendTo(Findings& findings) const;

private:
    struct Entry {
        Finding finding;
        Column column; // both counts, until the encoding is known
        std::vector<std::pair<Column, qvn::Note>> notes;
    };
    struct LeftOut {
        Kind kind;
        Severity severity = Severity::Warning;
        std::size_t shown = 0;
        long long count = 0;
        long long line = 0;
    };

    Entry LeftOutNote(const LeftOut& left) const;

    std::string name_;
    Encoding encoding_ = Encoding::Ascii;
    std::vector<Entry> entries_;
    std::map<std::string_view, LeftOut> repeated_; // by the kind's words
    Counts counts_;
};

} // namespace qvn::check
