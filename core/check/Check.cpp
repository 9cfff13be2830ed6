// The check of the inputs: the reading of both files, the comparison of their encodings, the
// token options, and the summary.
#include "Check.h"

#include "CheckFiles.h"
#include "Errors.h"
#include "FileIO.h"
#include "LinesAhead.h"

#include <algorithm>

namespace qvn::check {
namespace {

// Data whose encoding is not the one the page will be read in: the template's, or for a template
// of ASCII only the charset it declares. Reported at the data's first character outside ASCII.
void CompareEncodings(const FileFacts& data, const TemplateFacts& templ, FileReport& report) {
    if (data.encoding == Encoding::Ascii || data.encoding == Encoding::Utf16 ||
        templ.encoding == Encoding::Utf16)
        return;
    const Charset& charset = templ.charset;
    const std::string declared =
        std::to_string(charset.line) + " 行目で charset=" + charset.name + " を宣言しています";
    std::string text =
        std::string("データは ") + EncodingName(data.encoding) + " ですが、テンプレートは ";
    Encoding page;
    if (templ.encoding != Encoding::Ascii) {
        if (templ.encoding == data.encoding)
            return;
        page = templ.encoding;
        text += std::string(EncodingName(page)) + " です" +
                (charset.name.empty() ? "" : " (" + declared + ")") + "。";
    } else {
        if (charset.name.empty() || charset.encoding == data.encoding)
            return;
        text += declared + "。";
        if (!charset.encoding)
            return report.Add(kEncodingKind, Severity::Warning, data.firstNonAscii.line,
                              data.firstNonAscii.column,
                              text + "ページではサイトの項目が文字化けします。charset を " +
                                  EncodingName(data.encoding) + " に直してください。");
        page = *charset.encoding;
    }
    report.Add(kEncodingKind, Severity::Warning, data.firstNonAscii.line, data.firstNonAscii.column,
               text + "ページではサイトの項目が文字化けします。データをテンプレートと同じ " +
                   EncodingName(page) + " で保存し直してください。");
}

} // namespace

// Tokens that cannot all do their work whatever the template holds: an empty one, two that are
// the same, one inside another. Replacement goes in the order of the fields, the first occurrence
// of each token on the line as changed so far. `tokens` as the build matches them, `typed` as the
// user wrote them.
void CheckTokenOptions(const Tokens& tokens, const Tokens& typed, const TokenNames& names,
                       FileReport& report) {
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (tokens[k].empty())
            report.AddToFile(kTokenKind, Severity::Warning,
                             names[k] + " が空です。" + QuotedField(k) + "はページに入りません。");
    }
    for (std::size_t a = 0; a < kLinkFields; ++a) {
        for (std::size_t b = a + 1; b < kLinkFields; ++b) {
            const std::string& first = tokens[a]; // replaced first
            const std::string& second = tokens[b];
            const std::string& one = typed[a];
            const std::string& other = typed[b];
            if (first.empty() || second.empty())
                continue;
            if (first == second) {
                report.AddToFile(kTokenKind, Severity::Warning,
                                 names[a] + " と " + names[b] + " が同じ " + one +
                                     " です。各フレーム行で 1 つめの " + one + " が" +
                                     QuotedField(a) + "に、2 つめが" + QuotedField(b) +
                                     "に置き換わります。");
            } else if (second.find(first) != std::string::npos) {
                report.AddToFile(kTokenKind, Severity::Warning,
                                 names[b] + " の " + other + " は " + names[a] + " の " + one +
                                     " を含みます。行の中で " + one + " が先に" + QuotedField(a) +
                                     "に置き換わるため、" + other + " には" + QuotedField(b) +
                                     "が入らないことがあります。");
            } else if (first.find(second) != std::string::npos) {
                report.AddToFile(kTokenKind, Severity::Warning,
                                 names[b] + " の " + other + " は " + names[a] + " の " + one +
                                     " の一部です。" + one + " を置き換えたあとも、行に残った " +
                                     one + " の中の " + other + " が" + QuotedField(b) +
                                     "に置き換わります。");
            }
        }
    }
}

bool ReadLines(const Input& input, FileReport& report, bool& utf16, const LineFunction& line,
               const std::function<void(std::string_view)>& ahead) {
    const std::optional<std::string_view>& bytes = input.bytes;
    try {
        std::optional<InputFile> file;
        std::optional<MemorySource> memory;
        ByteSource& source =
            bytes ? static_cast<ByteSource&>(memory.emplace(*bytes))
                  : static_cast<ByteSource&>(file.emplace(FilePath::FromNative(input.name)));
        const std::uint64_t size =
            bytes ? std::max<std::uint64_t>(input.size, bytes->size()) : file->SizeHint();
        NulWatch watch(source);
        LineReader reader(watch);
        LinesAhead lines(reader, ahead);
        long long count = 0;
        std::string_view text;
        while (lines.Next(text))
            line(++count, text);
        // The reading is over: the watch may be looked at, and the last line is still valid.
        utf16 = watch.Found() && watch.LooksUtf16();
        if (utf16) {
            report.Clear(); // what the first few bytes gave says nothing
        } else if (watch.Found()) {
            // The NUL either opens a line after the last one read or cuts the last one short.
            const long long at = watch.StartsLine() ? count + 1 : count;
            const Column column = watch.StartsLine() ? Column{1, 1} : Column::At(text, text.size());
            std::string rest = "ここから後ろ";
            if (size > watch.Offset())
                rest += "の " + std::to_string(size - watch.Offset()) + " バイト";
            report.Add(kNulKind, Severity::Warning, at, column,
                       "ここで文字ではないデータ (値が 0 のバイト) が現れ、ビルドはファイルを"
                       "ここまでしか読みません。" +
                           rest +
                           "はページに入りません。テキストとして保存し直したファイルを使って"
                           "ください。");
        }
        return true;
    } catch (const FileError& e) {
        report.AddToFile(kUnreadableKind, Severity::Error,
                         "読めません。ビルドは「" + ErrorBoxText(e) + "」で止まります。");
        return false;
    }
}

void ReportEncoding(const EncodingScan& scan, FileReport& report) {
    const Encoding encoding = scan.Result();
    report.SetEncoding(encoding);
    if (encoding != Encoding::Utf8 && encoding != Encoding::Cp932)
        return;
    const BadLines& bad = encoding == Encoding::Utf8 ? scan.BadUtf8() : scan.BadCp932();
    const std::string name = EncodingName(encoding);
    for (const BadByte& at : bad.kept) {
        report.Add(kBadBytesKind, Severity::Warning, at.line, at.column,
                   at.cutShort ? "この行の終わりで文字が途中で切れていて、ページでは文字化けし"
                                 "ます。行の終わりを書き直してください。"
                               : "ここから先に " + name +
                                     " として読めない文字があります (ほかの文字コードで書かれた"
                                     "部分のようです)。ページではこの部分が文字化けします。この部分"
                                     "を書き直すか、ファイル全体を " +
                                     name + " で保存し直してください。");
    }
    if (const long long more = bad.lines - static_cast<long long>(bad.kept.size()); more > 0)
        report.AddLeftOut(kBadBytesKind, Severity::Warning, bad.firstMore, more);
}

Findings CheckInputs(const Input& data, const Input& templ, const Tokens& tokens,
                     const TokenNames& names) {
    FileReport dataReport(data.name);
    FileReport templateReport(templ.name);
    // The template first: each data line is checked against where the frame puts its fields.
    const std::optional<TemplateFacts> templateFacts =
        CheckTemplate(templ, tokens, names, templateReport);
    const std::optional<FileFacts> dataFacts = CheckData(
        data, templateFacts && templateFacts->html ? &*templateFacts->html : nullptr, dataReport);
    if (dataFacts && templateFacts)
        CompareEncodings(*dataFacts, *templateFacts, dataReport);
    Findings findings;
    dataReport.AppendTo(findings);
    templateReport.AppendTo(findings);
    return findings;
}

Findings CheckDataOnly(const Input& data) {
    FileReport report(data.name);
    CheckData(data, nullptr, report);
    Findings findings;
    report.AppendTo(findings);
    return findings;
}

Findings CheckTemplateOnly(const Input& templ, const Tokens& tokens, const TokenNames& names) {
    FileReport report(templ.name);
    CheckTemplate(templ, tokens, names, report);
    Findings findings;
    report.AppendTo(findings);
    return findings;
}

std::string CheckSummary(const Counts& counts) {
    return Summary(counts) + (counts.errors > 0 ? "このままではビルドは失敗します。"
                                                : "ビルドはできますが、警告の点はページが思いど"
                                                  "おりにならないおそれがあります。");
}

} // namespace qvn::check
