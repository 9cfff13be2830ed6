#include "Report.h"

#include <algorithm>
#include <ostream>

namespace qvn::check {
namespace {

const char* Label(Severity severity) {
    return severity == Severity::Error ? "エラー" : "警告";
}

constexpr const char* kNoteLabel = "注記";

} // namespace

void FileReport::Count(Severity severity, long long n) {
    (severity == Severity::Error ? errors_ : warnings_) += n;
}

void FileReport::Add(Severity severity, long long line, std::size_t column, std::string text) {
    Count(severity, 1);
    findings_.push_back({{line, column, std::move(text)}, Label(severity), {}});
}

void FileReport::Note(long long line, std::size_t column, std::string text) {
    findings_.back().notes.push_back({line, column, std::move(text)});
}

void FileReport::AddRepeated(const std::string& kind, Severity severity, long long line,
                             std::size_t column, std::string text) {
    LeftOut& seen = repeated_[kind];
    if (seen.shown < kShown) {
        ++seen.shown;
        Add(severity, line, column, std::move(text));
        return;
    }
    Count(severity, 1);
    if (seen.count++ == 0) {
        seen.severity = severity;
        seen.line = line;
    }
}

void FileReport::AddLeftOut(const std::string& kind, Severity severity, long long line,
                            long long count) {
    Count(severity, count);
    findings_.push_back(LeftOutNote(kind, severity, line, count));
}

FileReport::Finding FileReport::LeftOutNote(const std::string& kind, Severity severity,
                                            long long line, long long count) {
    return {{line, 0,
             "ここから先の「" + kind + "」の" + Label(severity) + " " + std::to_string(count) +
                 " 件は表示を省きました"},
            kNoteLabel,
            {}};
}

void FileReport::PrintLine(std::ostream& out, const Place& place, const char* label) const {
    out << name_ << ":";
    if (place.line > 0) {
        out << place.line << ":";
        if (place.column > 0)
            out << place.column << ":";
    }
    out << " " << label << ": " << place.text << "\n";
}

void FileReport::Print(std::ostream& out) const {
    std::vector<Finding> all = findings_;
    for (const auto& [kind, left] : repeated_) {
        if (left.count > 0)
            all.push_back(LeftOutNote(kind, left.severity, left.line, left.count));
    }
    std::stable_sort(all.begin(), all.end(), [](const Finding& a, const Finding& b) {
        if (a.place.line != b.place.line)
            return a.place.line < b.place.line;
        return a.place.column < b.place.column;
    });
    for (const Finding& f : all) {
        PrintLine(out, f.place, f.label);
        for (const Place& note : f.notes)
            PrintLine(out, note, kNoteLabel);
    }
}

} // namespace qvn::check
