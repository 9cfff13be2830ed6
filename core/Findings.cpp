// The findings' labels, counts, summary and terminal form.
#include "Findings.h"

#include <cstdio>
#include <ostream>

namespace qvn {
namespace {

void PrintLine(std::ostream& out, const std::string& file, long long line, std::size_t column,
               Severity severity, const std::string& text) {
    out << Printable(file) << ":";
    if (line > 0) {
        out << line << ":";
        if (column > 0)
            out << column << ":";
    }
    out << " " << Label(severity) << ": " << Printable(text) << "\n";
}

} // namespace

std::string_view Label(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "エラー";
    case Severity::Warning:
        return "警告";
    case Severity::Note:
        break;
    }
    return "注記";
}

void Counts::Add(Severity severity, long long n) {
    (severity == Severity::Error ? errors : severity == Severity::Warning ? warnings : notes) += n;
}

std::string Summary(const Counts& counts) {
    return "エラー " + std::to_string(counts.errors) + " 件、警告 " +
           std::to_string(counts.warnings) + " 件、注記 " + std::to_string(counts.notes) + " 件。";
}

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

void Print(std::ostream& out, const Finding& finding) {
    PrintLine(out, finding.file, finding.line, finding.column, finding.severity, finding.text);
    for (const Note& note : finding.notes)
        PrintLine(out, finding.file, note.line, note.column, Severity::Note, note.text);
}

} // namespace qvn
