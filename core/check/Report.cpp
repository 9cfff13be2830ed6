// Collecting, ordering and printing the findings about one file.
#include "Report.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace qvn::check {
namespace {

const char* Label(Severity severity) {
    return severity == Severity::Error ? "エラー" : "警告";
}

constexpr const char* kNoteLabel = "注記";

} // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            out += escaped;
        }
    }
    return out;
}

std::string Summary(long long errors, long long warnings) {
    std::string text =
        "エラー " + std::to_string(errors) + " 件、警告 " + std::to_string(warnings) + " 件。";
    if (errors > 0)
        return text + "このままではビルドは失敗します。";
    return text + "ビルドはできますが、警告の点はページが思いどおりにならないおそれがあります。";
}

void FileReport::Count(Severity severity, long long n) {
    (severity == Severity::Error ? errors_ : warnings_) += n;
}

void FileReport::Add(Severity severity, long long line, Column column, std::string text) {
    Count(severity, 1);
    findings_.push_back({{line, column, std::move(text)}, Label(severity), {}});
}

void FileReport::Note(long long line, Column column, std::string text) {
    findings_.back().notes.push_back({line, column, std::move(text)});
}

void FileReport::AddRepeated(const std::string& kind, Severity severity, long long line,
                             Column column, std::string text) {
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

void FileReport::Clear() {
    findings_.clear();
    repeated_.clear();
    errors_ = warnings_ = 0;
}

void FileReport::AddLeftOut(const std::string& kind, Severity severity, long long line,
                            long long count) {
    Count(severity, count);
    findings_.push_back(LeftOutNote(kind, severity, line, count));
}

FileReport::Finding FileReport::LeftOutNote(const std::string& kind, Severity severity,
                                            long long line, long long count) {
    return {{line,
             {},
             "ここから先の「" + kind + "」の" + Label(severity) + " " + std::to_string(count) +
                 " 件は表示を省きました。"},
            kNoteLabel,
            {}};
}

void FileReport::PrintLine(std::ostream& out, const Place& place, const char* label) const {
    out << Printable(name_) << ":";
    if (place.line > 0) {
        out << place.line << ":";
        if (const std::size_t column = place.column.In(encoding_); column > 0)
            out << column << ":";
    }
    out << " " << label << ": " << Printable(place.text) << "\n";
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
        return a.place.column.utf8 < b.place.column.utf8;
    });
    for (const Finding& f : all) {
        PrintLine(out, f.place, f.label);
        for (const Place& note : f.notes)
            PrintLine(out, note, kNoteLabel);
    }
}

} // namespace qvn::check
