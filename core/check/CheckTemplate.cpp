// qvn-build --check on the template: the cut at its markers, taken from the builder's own scans,
// lines that look like markers but are not, the tokens in each section, the bytes and the charset.
#include "CheckFiles.h"
#include "Errors.h"
#include "StringList.h"
#include "TokenText.h"
#include "UProccess.h"
#include "Words.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace qvn::check {
namespace {

constexpr const char* kSectionNames[] = {"ヘッド", "フレーム", "フット"};

// The index into kSectionNames of a section, −1 for a line left out of the page.
int SectionIndex(const TemplateCut& cut, int line) {
    switch (cut.SectionOf(line)) {
    case TemplateCut::Section::Head:
        return 0;
    case TemplateCut::Section::Frame:
        return 1;
    case TemplateCut::Section::Foot:
        return 2;
    case TemplateCut::Section::LeftOut:
        break;
    }
    return -1;
}

constexpr const char* kOtherText = "同じ行にほかの文字があります";

// Why a line that is not the marker would be taken for it by a reader: "" when it would not.
// With `partOfLine` a line that holds the marker among other text counts too; a line of letters
// and underscores that is `typos` letters or fewer away from the marker ("_FOOT", "_HAED_") too.
std::string LooksLikeMarker(std::string_view line, std::string_view marker, bool partOfLine,
                            std::size_t typos) {
    if (line == marker)
        return "";
    // The marker written in full-width letters takes three bytes a letter at most: a longer line,
    // once its spaces are left out, can only hold it among other text.
    const std::string_view bare =
        line.substr(LeadingSpace(line), line.size() - LeadingSpace(line) - TrailingSpace(line));
    if (!partOfLine && bare.size() > 3 * marker.size() + 3)
        return "";
    std::vector<const char*> why;
    std::string_view text = line;
    if (text.starts_with("\xEF\xBB\xBF")) {
        why.push_back("先頭に目に見えない文字があります");
        text.remove_prefix(3);
    }
    if (const std::size_t n = LeadingSpace(text); n > 0) {
        why.push_back("行頭に空白があります");
        text.remove_prefix(n);
    }
    if (const std::size_t n = TrailingSpace(text); n > 0) {
        why.push_back("行末に空白があります");
        text.remove_suffix(n);
    }
    const std::string folded = FoldFullWidth(text);
    if (folded != text)
        why.push_back("全角で書かれています");
    const std::string upper = Upper(folded);
    const bool word = !upper.empty() && std::ranges::all_of(upper, [](char c) {
        return (c >= 'A' && c <= 'Z') || c == '_';
    });
    if (upper != marker && word && typos > 0 && Distance(upper, marker, typos) <= typos)
        why.push_back("綴りが違います");
    else if (upper != marker)
        why.clear();
    if (!why.empty() || upper == marker) {
        if (upper == marker && folded != marker)
            why.push_back("大文字と小文字が違います");
        std::string joined;
        for (const char* reason : why)
            joined += (joined.empty() ? "" : "、") + std::string(reason);
        return joined;
    }
    if (partOfLine && Upper(FoldFullWidth(line)).find(marker) != std::string::npos)
        return kOtherText;
    return "";
}

std::string BuildFailure(const TStringList& lines) {
    return "ビルドは「" + ErrorBoxText(ListIndexError(lines.Count())) + "」で止まります。";
}

// The template cannot be cut: names the marker the scans did not find and the lines that may
// have been meant for it. When exactly one line may have been, the error stands on that line.
void ReportCutError(const TStringList& lines, const TemplateCut& cut, FileReport& report) {
    const auto missing =
        static_cast<std::size_t>(std::ranges::find(cut.markers, -1) - cut.markers.begin());
    if (missing == kMarkers.size()) {
        report.Add(kCutKind, Severity::Error, cut.markers[2] + 1, {},
                   "_FOOT_ の後ろに行がありません (フットは 1 行以上必要です)。" +
                       BuildFailure(lines) +
                       "_FOOT_ の後ろに </body></html> などの行を書いてください。");
        return;
    }
    const std::string marker(kMarkers[missing]);
    // The scan for a marker starts two lines after the marker before it.
    const int before = missing == 0 ? -1 : cut.markers[missing - 1];
    const int from = missing == 0 ? 0 : before + 2;
    // Where a line before the scan's start stands: right after the marker before, or before it.
    const auto place = [&](int i) {
        const std::string previous(kMarkers[missing - 1]);
        return i == before + 1
                   ? previous + " のすぐ次の行で、" + kSectionNames[missing - 1] +
                         "の 1 行目になります。"
                   : previous + " (" + std::to_string(before + 1) + " 行目) より前にあります。";
    };
    // Lines probably meant as the marker, and why they are not; `whole` for a line that is the
    // marker but for spaces, case or width (or stands out of order), not one that mentions it.
    struct Meant {
        int line;
        std::string why;
        bool whole;
    };
    std::vector<Meant> meant;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string_view line = lines.Get(i);
        if (i < from && line == marker) {
            meant.push_back({i, marker + " の行ですが、" + place(i), true});
        } else if (const std::string why = LooksLikeMarker(line, marker, i >= from, 2);
                   !why.empty()) {
            // Before the scan's start only a line written as the marker alone is named: there,
            // text that mentions a marker is likely a remark about it.
            meant.push_back({i,
                             marker + " の区切りになりません (" + why + ")。" +
                                 (i < from ? "しかも " + place(i) : ""),
                             why != kOtherText});
        }
    }
    const std::string what = missing == 0 ? "区切り行 " + marker + " がありません。"
                                          : std::string(kMarkers[missing - 1]) +
                                                " の後ろに区切り行 " + marker + " がありません。";
    // When exactly one line is almost the marker (or, failing any, exactly one mentions it), the
    // error stands there.
    const auto whole = std::ranges::count_if(meant, [](const Meant& m) { return m.whole; });
    const auto culprit = std::ranges::find_if(
        meant, [&](const Meant& m) { return whole == 1 ? m.whole : meant.size() == 1; });
    if (culprit != meant.end()) {
        std::string advice = "この行を " + marker + " だけの行に直してください。";
        if (lines.Get(culprit->line) == marker) {
            // The line is the marker already, only where the scan does not look for it.
            const std::string previous(kMarkers[missing - 1]);
            advice = culprit->line == before + 1
                         ? previous + " とこの行の間に、" + kSectionNames[missing - 1] +
                               "の行を 1 行以上書いてください。"
                         : "この行を " + previous + " より後ろに移してください。";
        }
        report.Add(kCutKind, Severity::Error, culprit->line + 1, {},
                   culprit->why + what + BuildFailure(lines) + advice);
        for (const Meant& m : meant) {
            if (&m != &*culprit && m.whole) // a line that only mentions the marker is a remark
                report.Note(m.line + 1, {}, m.why);
        }
        return;
    }
    report.Add(kCutKind, Severity::Error, missing == 0 ? 1 : before + 1, {},
               what + BuildFailure(lines) + marker + " だけの行を書いてください。");
    for (const Meant& m : meant)
        report.Note(m.line + 1, {}, m.why);
}

// Marker lines, and lines written almost as markers, that the build copies into the page.
void ReportMarkersInSections(const TStringList& lines, const TemplateCut& cut, FileReport& report) {
    for (int i = cut.markers[0] + 1; i < lines.Count(); ++i) {
        const int section = SectionIndex(cut, i);
        if (section < 0)
            continue;
        const std::string_view line = lines.Get(i);
        for (const std::string_view marker : kMarkers) {
            const std::string where = std::string("区切りにはならず、") + kSectionNames[section] +
                                      "の行としてそのままページに入ります。要らなければ行を消して"
                                      "ください。";
            if (line == marker)
                report.AddRepeated(kMarkerInSectionKind, Severity::Warning, i + 1, {},
                                   std::string(marker) + " の行ですが、" + where);
            else if (const std::string why = LooksLikeMarker(line, marker, false, 1); !why.empty())
                report.AddRepeated(kMarkerInSectionKind, Severity::Warning, i + 1, {},
                                   std::string(marker) + " に似ていますが (" + why + ")、" + where);
        }
    }
}

// A word of the template that is probably the token mistyped: the same but for case or width, or
// a letter or two off ("_TITLE", "_EXPRAIN_"). Where it is, and the word as written.
struct NearMiss {
    int line = -1;
    Column column;
    std::string word;
    bool sameLetters = false; // differs only in case or width
};

// The first near miss of token on a line: words of ASCII letters, digits and underscores, after
// full-width letters are folded (a character each, so the columns stay those of the line).
std::optional<NearMiss> FindNearMiss(std::string_view line, const std::string& token,
                                     const Tokens& tokens) {
    const std::string wanted = Upper(FoldFullWidth(token));
    const std::string folded = FoldFullWidth(line);
    const std::string upper = Upper(folded);
    const auto isWord = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    for (std::size_t i = 0; i < upper.size();) {
        if (!isWord(upper[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < upper.size() && isWord(upper[end]))
            ++end;
        const std::string_view word = std::string_view(upper).substr(i, end - i);
        const std::string written = folded.substr(i, end - i);
        const bool other = std::ranges::any_of(tokens, [&](const std::string& t) {
            return !t.empty() && Upper(FoldFullWidth(t)) == word;
        });
        if (const std::size_t at = word.find(wanted); at != std::string_view::npos)
            return NearMiss{0, Column::At(folded, i + at), {}, true};
        const std::size_t limit = wanted.size() >= 5 ? 2 : 1;
        const bool underscores = wanted.front() != '_' || word.front() == '_';
        if (!other && word.size() >= 3 && underscores && Distance(word, wanted, limit) <= limit)
            return NearMiss{0, Column::At(folded, i), written, false};
        i = end;
    }
    return std::nullopt;
}

// Tokens the frame lacks or holds twice in a line, and tokens in the head or the foot, which are
// never replaced. Where a token is found is asked of the builder.
void CheckTokens(const TStringList& lines, const TemplateCut& cut, const Tokens& tokens,
                 const Tokens& typed, FileReport& report) {
    // Whether each field reaches the page is asked of the builder: a frame line is filled with
    // marks for values, as a build fills it.
    std::array<bool, kLinkFields> inFrame{};
    std::array<int, kLinkFields> unfilled{-1, -1, -1, -1}; // a frame line that has it, in vain
    std::array<Column, kLinkFields> unfilledAt{};
    for (int i = cut.markers[0] + 1; i < lines.Count(); ++i) {
        const int section = SectionIndex(cut, i);
        if (section < 0)
            continue;
        const std::string_view line = lines.Get(i);
        const auto found = TokensInLine(line, tokens); // an empty token is never found
        if (section == 1) {
            const std::string filled = FillFrameLine(line, tokens, kFieldMarks);
            for (std::size_t k = 0; k < kLinkFields; ++k) {
                if (filled.find(kFieldMarks[k]) != std::string::npos) {
                    inFrame[k] = true;
                } else if (found[k] != std::string_view::npos && unfilled[k] < 0) {
                    unfilled[k] = i;
                    unfilledAt[k] = Column::At(line, found[k]);
                }
            }
        }
        for (std::size_t k = 0; k < kLinkFields; ++k) {
            const std::string& token = tokens[k];
            const std::string& shown = typed[k];
            const std::size_t at = found[k];
            if (at == std::string_view::npos)
                continue;
            if (section != 1) {
                report.AddRepeated(kTokenOutsideFrameKind, Severity::Warning, i + 1,
                                   Column::At(line, at),
                                   std::string(kSectionNames[section]) + "の " + shown +
                                       " は置き換えられず、そのままページに入ります。置換文字列は"
                                       "フレーム (_FRAME_ と _FOOT_ の間) に書いてください。");
                continue;
            }
            if (const std::size_t again = line.find(token, at + token.size());
                again != std::string_view::npos)
                report.AddRepeated(kTokenTwiceKind, Severity::Warning, i + 1,
                                   Column::At(line, again),
                                   shown + " がこの行に 2 つ以上あります。置き換わるのは最初の"
                                           " 1 つだけで、ここはそのままページに残ります。同じ項目"
                                           "を 2 回使うときは、フレームの別の行に書いてください。");
        }
    }
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        const std::string& token = tokens[k];
        const std::string& shown = typed[k];
        if (token.empty() || inFrame[k])
            continue; // an empty token never matches: reported with the options
        // A near miss in the frame is the likelier slip; else the first in the head or foot.
        std::optional<NearMiss> nearMiss;
        for (int pass = unfilled[k] >= 0 ? 2 : 0; pass < 2 && !nearMiss; ++pass) {
            for (int i = cut.markers[0] + 1; i < lines.Count() && !nearMiss; ++i) {
                const int section = SectionIndex(cut, i);
                const std::string_view line = lines.Get(i);
                if (section < 0 || (section == 1) != (pass == 0) ||
                    line.find(token) != std::string_view::npos)
                    continue;
                if ((nearMiss = FindNearMiss(line, token, tokens)))
                    nearMiss->line = i;
            }
        }
        const std::string lost = QuotedField(k) + std::string("はページに入りません。");
        if (unfilled[k] >= 0) {
            report.Add(kTokenKind, Severity::Warning, unfilled[k] + 1, unfilledAt[k],
                       shown + " は、先に置き換わるほかの置換文字列と重なるため置き換わりません。" +
                           lost + "置換文字列を重ならない文字に変えてください。");
            continue;
        }
        if (!nearMiss) {
            report.Add(kTokenKind, Severity::Warning, cut.markers[1] + 1, {},
                       "フレームに置換文字列 " + shown + " がありません。" + lost +
                           "入れるときは、フレーム (_FRAME_ と _FOOT_ の間) に " + shown +
                           " を書いてください。");
        } else if (nearMiss->sameLetters) {
            report.Add(kTokenKind, Severity::Warning, nearMiss->line + 1, nearMiss->column,
                       "ここの文字は置換文字列 " + shown +
                           " と大文字小文字や全角半角が違うため、置き換わりません。" + lost +
                           shown + " と同じに書いてください。");
        } else {
            report.Add(kTokenKind, Severity::Warning, nearMiss->line + 1, nearMiss->column,
                       "「" + nearMiss->word + "」は置換文字列 " + shown +
                           " の書き間違いではありませんか。フレームに " + shown + " がないため、" +
                           lost);
        }
    }
}

std::optional<Encoding> CharsetEncoding(const std::string& name) {
    const std::string upper = Upper(name);
    const auto in = [&](std::initializer_list<std::string_view> names) {
        return std::ranges::find(names, upper) != names.end();
    };
    if (in({"UTF-8", "UTF8"}))
        return Encoding::Utf8;
    if (in({"SHIFT_JIS", "SHIFT-JIS", "SHIFTJIS", "SJIS", "X-SJIS", "WINDOWS-31J", "CP932", "MS932",
            "MS_KANJI", "CSSHIFTJIS", "CSWINDOWS31J", "X-MS-CP932", "WINDOWS-932"}))
        return Encoding::Cp932;
    if (in({"EUC-JP", "EUCJP", "X-EUC-JP", "EUC_JP", "CSEUCPKDFMTJAPANESE"}))
        return Encoding::EucJp;
    if (in({"ISO-2022-JP", "CSISO2022JP", "JIS"}))
        return Encoding::Iso2022Jp;
    if (in({"UTF-16", "UTF-16LE", "UTF-16BE", "UNICODE"}))
        return Encoding::Utf16;
    return std::nullopt;
}

// The first "charset=NAME" on a line that reaches the page (any line, when the cut failed).
Charset FindCharset(const TStringList& lines, const TemplateCut& cut) {
    for (int i = 0; i < lines.Count(); ++i) {
        if (cut.complete && SectionIndex(cut, i) < 0)
            continue;
        const std::string_view line = lines.Get(i);
        constexpr std::string_view kName = "charset";
        // std::search, not std::ranges::search: clang 14 cannot compile the latter on GCC 12's
        // library.
        const auto found =
            std::search(line.begin(), line.end(), kName.begin(), kName.end(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
            });
        if (found == line.end())
            continue;
        const auto at = static_cast<std::size_t>(found - line.begin());
        std::size_t p = at + 7;
        const auto skip = [&](std::string_view chars) {
            while (p < line.size() && chars.find(line[p]) != std::string_view::npos)
                ++p;
        };
        skip(" \t");
        if (p >= line.size() || line[p] != '=')
            continue;
        ++p;
        skip(" \t\"'");
        const std::size_t begin = p;
        while (p < line.size() &&
               (std::isalnum(static_cast<unsigned char>(line[p])) ||
                std::string_view("-_.:").find(line[p]) != std::string_view::npos))
            ++p;
        if (p == begin)
            continue;
        std::string name(line.substr(begin, p - begin));
        return {name, i + 1, CharsetEncoding(name)};
    }
    return {};
}

// The name to write in a charset for text in an encoding.
const char* CharsetFor(Encoding encoding) {
    return encoding == Encoding::Cp932 ? "Shift_JIS" : EncodingName(encoding);
}

} // namespace

std::optional<TemplateFacts> CheckTemplate(const Input& templ, const Tokens& typed,
                                           const TokenNames& names, FileReport& report) {
    // Held whole, as the build holds it.
    TStringList lines;
    bool utf16 = false;
    if (!ReadLines(templ, report, utf16,
                   [&lines](long long, std::string_view text) { lines.Add(text); }))
        return std::nullopt;
    if (utf16) {
        report.Add(kEncodingKind, Severity::Error, 1, {},
                   "このファイルは UTF-16 (メモ帳の「Unicode」) で保存されていて、ビルドには読めま"
                   "せん。" +
                       BuildFailure(lines) + "UTF-8 か Shift_JIS で保存し直してください。");
        TemplateFacts facts;
        facts.encoding = Encoding::Utf16;
        return facts;
    }

    // The tokens as the build matches them; one the template's encoding cannot hold stops the
    // build, and is looked for as typed here.
    const TextEncoding encoding = JudgeEncoding(lines);
    Tokens tokens = typed;
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        try {
            tokens[k] = TokenForTemplate(k, typed[k], encoding);
        } catch (const Error& e) {
            report.AddToFile(kTokenKind, Severity::Error,
                             "ビルドは「" + ErrorBoxText(e) + "」で止まります。");
        }
    }
    CheckTokenOptions(tokens, typed, names, report);

    const TemplateCut cut = CutTemplate(lines);
    if (cut.complete) {
        ReportMarkersInSections(lines, cut, report);
        CheckTokens(lines, cut, tokens, typed, report);
    } else {
        ReportCutError(lines, cut, report);
    }

    // Bytes that do not fit matter only where they reach the page; when the cut fails, anywhere.
    EncodingScan scan(FileReport::kShown);
    for (int i = 0; i < lines.Count(); ++i)
        scan.Line(i + 1, lines.Get(i), !cut.complete || SectionIndex(cut, i) >= 0);
    ReportEncoding(scan, report);

    TemplateFacts facts;
    if (cut.complete)
        facts.html.emplace(lines, cut, tokens);
    facts.encoding = scan.Result();
    facts.firstNonAscii = scan.NonAscii();
    facts.charset = FindCharset(lines, cut);
    const Charset& charset = facts.charset;
    if (!charset.name.empty() && facts.encoding != Encoding::Ascii &&
        charset.encoding != facts.encoding)
        report.Add(kCharsetKind, Severity::Warning, charset.line, {},
                   std::string("テンプレートは ") + EncodingName(facts.encoding) +
                       " で書かれていますが、charset=" + charset.name +
                       " を宣言しています。ブラウザーはページを " + charset.name +
                       " として読み、文字化けします。charset=" + CharsetFor(facts.encoding) +
                       (charset.encoding ? " に直すか、テンプレートを " + charset.name +
                                               " で保存し直してください。"
                                         : std::string(" に直してください。")));
    return facts;
}

} // namespace qvn::check
