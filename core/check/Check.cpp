// qvn-build --check: the reading of both files, the data file's checks, the comparison of the
// two files' encodings, the token options, and the summary.
#include "Check.h"

#include "CheckFiles.h"
#include "Errors.h"
#include "FileIO.h"
#include "LinesAhead.h"

#include <cstdio>
#include <ostream>
#include <sstream>

namespace qvn::check {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Hex(unsigned char b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

// A data line with fewer than three commas: which fields the build leaves empty, and what becomes
// the description.
void CheckFields(long long line, std::string_view text, FileReport& report) {
    int commas = 0;
    for (std::size_t p = 0; commas < 3 && (p = text.find(',', p)) != std::string_view::npos; ++p)
        ++commas;
    if (commas == 3)
        return;
    if (text.empty()) {
        report.AddRepeated(kFieldsKind, Severity::Warning, line, 0,
                           "空の行です: 4 項目とも空のサイトが 1 件できます");
        return;
    }
    TLinkRecord record;
    std::size_t k = 0;
    SplitFields(text, kLinkFields, [&](std::string_view field) { record[k++] = field; });
    std::string empty;
    for (std::size_t f = 0; f + 1 < kLinkFields; ++f) {
        if (record[f].empty())
            empty += kFieldNames[f];
    }
    const std::string rest =
        commas == 0 ? "行全体" : std::to_string(commas) + " つめのカンマより後ろ";
    report.AddRepeated(kFieldsKind, Severity::Warning, line, 0,
                       (commas == 0 ? std::string("カンマがありません")
                                    : "カンマが " + std::to_string(commas) + " つしかありません") +
                           ": " + empty + "は空になり、" + rest + "が" + kFieldNames[kDescription] +
                           "になります");
}

std::optional<FileFacts> CheckData(const std::string& name, FileReport& report) {
    EncodingScan scan(FileReport::kShown);
    const bool read = ReadLines(name, report, [&](long long line, std::string_view text) {
        if (line == 1 && text.starts_with(kBom))
            report.Add(Severity::Warning, 1, 1,
                       std::string("UTF-8 の BOM があります: 最初のサイトの") +
                           kFieldNames[kSiteName] + "の頭に入ります");
        scan.Line(line, text, true);
        CheckFields(line, text, report);
    });
    if (!read)
        return std::nullopt;
    ReportEncoding(scan, report);
    return FileFacts{scan.Result(), scan.NonAscii()};
}

// Data whose encoding is not the one the page will be read in: the template's, or for a template
// of ASCII only the charset it declares. Reported at the data's first byte that is not ASCII.
void CompareEncodings(const FileFacts& data, const TemplateFacts& templ, FileReport& report) {
    if (data.encoding == Encoding::Ascii)
        return;
    const Charset& charset = templ.charset;
    const std::string line = std::to_string(charset.line) + " 行目";
    std::string text =
        std::string("データは ") + EncodingName(data.encoding) + " ですが、テンプレートは ";
    if (templ.encoding != Encoding::Ascii) {
        if (templ.encoding == data.encoding)
            return;
        text += std::string(EncodingName(templ.encoding)) + " です";
        if (charset.line > 0)
            text += " (" + line + "に charset=" + charset.name + ")";
    } else {
        if (charset.line == 0 || charset.encoding == data.encoding)
            return;
        text += line + "で charset=" + charset.name + " を宣言しています";
    }
    report.Add(Severity::Warning, data.firstNonAscii.line, data.firstNonAscii.column,
               text + ": ページではサイトの項目が文字化けします");
}

// Tokens that cannot all do their work whatever the template holds: an empty one, two that are
// the same, one inside another. Replacement goes in the order of the fields, the first occurrence
// of each token on the line as changed so far.
void CheckTokenOptions(const Tokens& tokens, FileReport& report) {
    const auto option = [](std::size_t k) { return "--" + std::string(kTokenOptions[k]); };
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (tokens[k].empty())
            report.AddToFile(Severity::Warning,
                             option(k) + " が空です: " + kFieldNames[k] + "はページに入りません");
    }
    for (std::size_t a = 0; a < kLinkFields; ++a) {
        for (std::size_t b = a + 1; b < kLinkFields; ++b) {
            const std::string& first = tokens[a]; // replaced first
            const std::string& second = tokens[b];
            if (first.empty() || second.empty())
                continue;
            if (first == second) {
                report.AddToFile(Severity::Warning, option(a) + " と " + option(b) + " が同じ " +
                                                        first + " です: 各フレーム行で 1 つめの " +
                                                        first + " が" + kFieldNames[a] +
                                                        "に、2 つめが" + kFieldNames[b] +
                                                        "に置き換わります");
            } else if (second.find(first) != std::string::npos) {
                report.AddToFile(Severity::Warning,
                                 option(b) + " の " + second + " は " + option(a) + " の " + first +
                                     " を含みます: 行の中で " + first + " が先に" + kFieldNames[a] +
                                     "に置き換わるため、" + second + " には" + kFieldNames[b] +
                                     "が入らないことがあります");
            } else if (first.find(second) != std::string::npos) {
                report.AddToFile(Severity::Warning,
                                 option(b) + " の " + second + " は " + option(a) + " の " + first +
                                     " の一部です: " + first + " を置き換えたあとも、行に残った " +
                                     first + " の中の " + second + " が" + kFieldNames[b] +
                                     "に置き換わります");
            }
        }
    }
}

} // namespace

bool ReadLines(const std::string& name, FileReport& report,
               const std::function<void(long long, std::string_view)>& line) {
    try {
        InputFile file(FilePath::FromNative(name));
        NulWatch watch(file);
        LineReader reader(watch);
        LinesAhead lines(reader);
        long long count = 0;
        std::size_t lastLength = 0;
        for (std::string_view text; lines.Next(text);) {
            line(++count, text);
            lastLength = text.size();
        }
        if (watch.Found()) {
            // The NUL either opens a line after the last one read or cuts the last one short.
            const long long at = watch.StartsLine() ? count + 1 : count;
            const std::size_t column = watch.StartsLine() ? 1 : lastLength + 1;
            std::string rest = "ここから後ろ";
            if (file.SizeHint() > watch.Offset())
                rest += "の " + std::to_string(file.SizeHint() - watch.Offset()) + " バイト";
            report.Add(Severity::Warning, at, column,
                       "NUL バイトがあります: " + rest + "は読まれず、ページに入りません");
        }
        return true;
    } catch (const FileError& e) {
        report.AddToFile(Severity::Error,
                         "読めません: ビルドは「" + ErrorBoxTextUtf8(e) + "」で止まります");
        return false;
    }
}

void ReportEncoding(const EncodingScan& scan, FileReport& report) {
    if (scan.Result() != Encoding::Cp932 || scan.Cp932Kept().empty())
        return;
    const std::vector<BadByte>& kept = scan.Cp932Kept();
    for (const BadByte& bad : kept) {
        report.Add(Severity::Warning, bad.line, bad.column,
                   "Shift_JIS (CP932) として不正なバイト " + Hex(bad.value) +
                       " があります: そのままページに入り、文字化けします");
        // Why the file was not taken as UTF-8 (it is taken as code page 932 only when UTF-8
        // fails): where that reading fails first, once.
        if (const BadByte& utf8 = scan.BadUtf8(); &bad == &kept.front())
            report.Note(utf8.line, utf8.column,
                        "UTF-8 としても " + std::to_string(scan.Utf8BadLines()) +
                            " 行に不正なバイトがあり (最初はここの " + Hex(utf8.value) +
                            ")、このファイルは Shift_JIS (CP932) とみなしました");
    }
    if (scan.Cp932More() > 0)
        report.AddLeftOut(kBadBytesKind, Severity::Warning, scan.Cp932FirstMore(),
                          scan.Cp932More());
}

namespace {

std::vector<std::string> Lines(const FileReport& report) {
    std::stringstream text;
    report.Print(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(std::move(line));
    return lines;
}

} // namespace

Findings CheckInputs(const std::string& data, const std::string& templ, const Tokens& tokens) {
    FileReport dataReport(data);
    FileReport templateReport(templ);
    const std::optional<FileFacts> dataFacts = CheckData(data, dataReport);
    const std::optional<TemplateFacts> templateFacts = CheckTemplate(templ, tokens, templateReport);
    if (dataFacts && templateFacts)
        CompareEncodings(*dataFacts, *templateFacts, dataReport);
    CheckTokenOptions(tokens, templateReport);
    return Findings{Lines(dataReport), Lines(templateReport),
                    dataReport.Errors() + templateReport.Errors(),
                    dataReport.Warnings() + templateReport.Warnings()};
}

int Check(const std::string& data, const std::string& templ, const Tokens& tokens,
          std::ostream& out) {
    const Findings findings = CheckInputs(data, templ, tokens);
    if (findings.errors + findings.warnings > 0) {
        for (const auto* lines : {&findings.data, &findings.templ}) {
            for (const std::string& line : *lines)
                out << line << "\n";
        }
        out << "エラー " << findings.errors << " 件, 警告 " << findings.warnings << " 件\n";
    }
    if (!out.flush())
        throw WriteError();
    return findings.errors > 0 ? 1 : 0;
}

} // namespace qvn::check
