// What a check found, as records: the check of the inputs and the link check both make them, and
// each front end turns them into its own form (the terminal's lines, the window's list) with one
// summary wording for all. Nobody reads a formatted line back.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

enum class Severity { Error, Warning, Note };

// エラー, 警告, 注記.
std::string_view Label(Severity severity);

// A place that explains a finding: a line almost the missing marker, say. Shown after the finding
// as a 注記 of its own.
struct Note {
    long long line = 0;     // from 1; 0 for the file as a whole
    std::size_t column = 0; // from 1, in characters; 0 for none
    std::string text;       // UTF-8
};

struct Finding {
    std::string file;       // the file's name as it was given
    long long line = 0;     // from 1; 0 for the file as a whole
    std::size_t column = 0; // from 1, in characters; 0 for none
    Severity severity = Severity::Warning;
    std::string_view kind; // what it is about, one lower-case word ("fields", "dead")
    std::string text;      // UTF-8 sentences; bytes of the files are quoted as they are
    std::vector<Note> notes;
};

// How many findings of each severity there were, those left out of a list included.
struct Counts {
    long long errors = 0;
    long long warnings = 0;
    long long notes = 0;

    void Add(Severity severity, long long n = 1);
    long long Total() const { return errors + warnings + notes; }
};

// The findings in the order they are shown, and the counts of all.
struct Findings {
    std::vector<Finding> list;
    Counts counts;
};

// 「エラー 1 件、警告 2 件、注記 0 件。」
std::string Summary(const Counts& counts);

// text with its control characters written out ("\n", "\t", "\x1B"), so that a name, a token or
// a server's answer cannot break a finding in two, pass for one, or talk to the terminal.
std::string Printable(std::string_view text);

// A finding as a terminal shows it, "FILE:LINE[:COLUMN]: LABEL: text", each note after it the
// same way, every line ended by "\n".
void Print(std::ostream& out, const Finding& finding);

} // namespace qvn
