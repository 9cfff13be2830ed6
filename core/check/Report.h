// The findings of the check about one input file, printed as compilers print theirs:
// "FILE:LINE:COLUMN: 警告: …", each finding's notes after it, columns in characters.
#pragma once

#include "TextScan.h"

#include <cstddef>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvn::check {

enum class Severity { Error, Warning };

// text with its control characters written out ("\n", "\t", "\x1B"), so that a name or a token
// cannot break a finding in two or pass for one.
std::string Printable(std::string_view text);

class FileReport {
public:
    // How many findings of a kind that repeats line after line are shown; the rest are counted.
    static constexpr std::size_t kShown = 10;

    // name: the file's name as it was given, for every line printed.
    explicit FileReport(std::string name) : name_(std::move(name)) {}

    // A finding at a line and column; Column{} where a column does not apply.
    void Add(Severity severity, long long line, Column column, std::string text);
    // A finding about the whole file: it has no place, and comes before those on its lines.
    void AddToFile(Severity severity, std::string text) { Add(severity, 0, {}, std::move(text)); }
    // A note about the finding added last, printed right after it.
    void Note(long long line, Column column, std::string text);
    // A finding of a kind that may come on many lines, `kind` naming it in a few words: past
    // kShown of that kind they are only counted, and a note at the first one left out says how
    // many.
    void AddRepeated(const std::string& kind, Severity severity, long long line, Column column,
                     std::string text);
    // Counts `count` findings of a kind that were left out before they reached the report, the
    // first of them on `line`.
    void AddLeftOut(const std::string& kind, Severity severity, long long line, long long count);
    // Forgets every finding (a file whose reading says nothing, such as UTF-16 text).
    void Clear();

    // The file's encoding, which decides how columns are counted when printed.
    void SetEncoding(Encoding encoding) { encoding_ = encoding; }

    long long Errors() const { return errors_; }
    long long Warnings() const { return warnings_; }

    // Prints the findings in the order of their lines and columns.
    void Print(std::ostream& out) const;

private:
    struct Place {
        long long line = 0;
        Column column;
        std::string text;
    };
    struct Finding {
        Place place;
        const char* label; // "エラー", "警告", "注記"
        std::vector<Place> notes;
    };
    struct LeftOut {
        Severity severity = Severity::Warning;
        std::size_t shown = 0;
        long long count = 0;
        long long line = 0;
    };

    void Count(Severity severity, long long n);
    static Finding LeftOutNote(const std::string& kind, Severity severity, long long line,
                               long long count);
    void PrintLine(std::ostream& out, const Place& place, const char* label) const;

    std::string name_;
    Encoding encoding_ = Encoding::Ascii;
    std::vector<Finding> findings_;
    std::map<std::string, LeftOut> repeated_; // by kind
    long long errors_ = 0;
    long long warnings_ = 0;
};

// The last line of a check that found something: the counts, and in words whether the build
// will succeed.
std::string Summary(long long errors, long long warnings);

} // namespace qvn::check
