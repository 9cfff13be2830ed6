// Collecting and ordering the findings about one file.
#include "Report.h"

#include <algorithm>

namespace qvn::check {

void FileReport::Add(Kind kind, Severity severity, long long line, Column column,
                     std::string text) {
    counts_.Add(severity);
    entries_.push_back(
        {Finding{name_, line, 0, severity, kind.id, std::move(text), {}}, column, {}});
}

void FileReport::Note(long long line, Column column, std::string text) {
    entries_.back().notes.push_back({column, qvn::Note{line, 0, std::move(text)}});
}

void FileReport::AddRepeated(Kind kind, Severity severity, long long line, Column column,
                             std::string text) {
    LeftOut& seen = repeated_[kind.words];
    if (seen.shown < kShown) {
        ++seen.shown;
        Add(kind, severity, line, column, std::move(text));
        return;
    }
    counts_.Add(severity);
    if (seen.count++ == 0) {
        seen.kind = kind;
        seen.severity = severity;
        seen.line = line;
    }
}

void FileReport::AddLeftOut(Kind kind, Severity severity, long long line, long long count) {
    counts_.Add(severity, count);
    entries_.push_back(LeftOutNote({kind, severity, 0, count, line}));
}

void FileReport::Clear() {
    entries_.clear();
    repeated_.clear();
    counts_ = {};
}

FileReport::Entry FileReport::LeftOutNote(const LeftOut& left) const {
    return {Finding{name_,
                    left.line,
                    0,
                    Severity::Note,
                    left.kind.id,
                    "ここから先の「" + std::string(left.kind.words) + "」の" +
                        std::string(Label(left.severity)) + " " + std::to_string(left.count) +
                        " 件は表示を省きました。",
                    {}},
            {},
            {}};
}

void FileReport::AppendTo(Findings& findings) const {
    std::vector<Entry> all = entries_;
    for (const auto& [words, left] : repeated_) {
        if (left.count > 0)
            all.push_back(LeftOutNote(left));
    }
    std::stable_sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
        if (a.finding.line != b.finding.line)
            return a.finding.line < b.finding.line;
        return a.column.utf8 < b.column.utf8;
    });
    for (Entry& entry : all) {
        entry.finding.column = entry.column.In(encoding_);
        for (auto& [column, note] : entry.notes) {
            note.column = column.In(encoding_);
            entry.finding.notes.push_back(std::move(note));
        }
        findings.list.push_back(std::move(entry.finding));
    }
    findings.counts.errors += counts_.errors;
    findings.counts.warnings += counts_.warnings;
    findings.counts.notes += counts_.notes;
}

} // namespace qvn::check
