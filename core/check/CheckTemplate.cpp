// qvn-build --check on the template: the cut at its markers, taken from the builder's own scans,
// lines that look like markers but are not, the tokens in each section, the bytes and the charset.
#include "CheckFiles.h"
#include "Errors.h"
#include "StringList.h"
#include "UProccess.h"

#include <algorithm>
#include <cctype>

namespace qvn::check {
namespace {

constexpr const char* kSectionNames[] = {"ヘッド", "フレーム", "フット"};

// The text with the full-width forms of ASCII (UTF-8 U+FF01 to U+FF5E, and the code page 932
// forms of "＿", "Ａ"-"Ｚ" and "ａ"-"ｚ") turned into ASCII. Bytes are matched where they stand,
// whatever the file's encoding: this only serves to recognise a marker or a token.
std::string FoldFullWidth(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x81 && b(2) <= 0xBF) {
            out += static_cast<char>(0x21 + b(2) - 0x81);
            i += 3;
        } else if (b(0) == 0xEF && b(1) == 0xBD && b(2) >= 0x80 && b(2) <= 0x9E) {
            out += static_cast<char>(0x60 + b(2) - 0x80);
            i += 3;
        } else if (b(0) == 0x81 && b(1) == 0x51) {
            out += '_';
            i += 2;
        } else if (b(0) == 0x82 && b(1) >= 0x60 && b(1) <= 0x79) {
            out += static_cast<char>('A' + b(1) - 0x60);
            i += 2;
        } else if (b(0) == 0x82 && b(1) >= 0x81 && b(1) <= 0x9A) {
            out += static_cast<char>('a' + b(1) - 0x81);
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The length of the space (space, tab, or a full-width space in UTF-8 or code page 932) at the
// start of text, or at its end.
std::size_t LeadingSpace(std::string_view text) {
    std::size_t n = 0;
    for (;;) {
        const std::string_view rest = text.substr(n);
        if (rest.starts_with(' ') || rest.starts_with('\t'))
            n += 1;
        else if (rest.starts_with("\xE3\x80\x80"))
            n += 3;
        else if (rest.starts_with("\x81\x40"))
            n += 2;
        else
            return n;
    }
}
std::size_t TrailingSpace(std::string_view text) {
    std::size_t n = 0;
    for (;;) {
        const std::string_view rest = text.substr(0, text.size() - n);
        if (rest.ends_with(' ') || rest.ends_with('\t'))
            n += 1;
        else if (rest.ends_with("\xE3\x80\x80"))
            n += 3;
        else if (rest.ends_with("\x81\x40"))
            n += 2;
        else
            return n;
    }
}

// Why a line that is not the marker would be taken for it by a reader: "" when it would not.
// With `partOfLine` a line that holds the marker among other text counts too.
std::string LooksLikeMarker(std::string_view line, std::string_view marker, bool partOfLine) {
    if (line == marker)
        return "";
    std::vector<const char*> why;
    std::string_view text = line;
    if (text.starts_with("\xEF\xBB\xBF")) {
        why.push_back("先頭に BOM があります");
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
    if (Upper(folded) == marker) {
        if (folded != marker)
            why.push_back("大文字と小文字が違います");
        std::string joined;
        for (const char* reason : why)
            joined += (joined.empty() ? "" : "、") + std::string(reason);
        return joined;
    }
    if (partOfLine && Upper(FoldFullWidth(line)).find(marker) != std::string::npos)
        return "同じ行にほかの文字があります";
    return "";
}

std::string BuildFailure(const TStringList& lines) {
    return "ビルドは「" + ErrorBoxTextUtf8(ListIndexError(lines.Count())) + "」で止まります";
}

// The template cannot be cut: names the marker the scans did not find and the lines that may
// have been meant for it.
void ReportCutError(const TStringList& lines, const TemplateCut& cut, FileReport& report) {
    const auto missing =
        static_cast<std::size_t>(std::ranges::find(cut.markers, -1) - cut.markers.begin());
    if (missing == kMarkers.size()) {
        report.Add(Severity::Error, cut.markers[2] + 1, 0,
                   "_FOOT_ の後ろに行がありません (フットは 1 行以上必要です): " +
                       BuildFailure(lines));
        return;
    }
    const std::string marker(kMarkers[missing]);
    // The scan for a marker starts two lines after the marker before it.
    const int before = missing == 0 ? -1 : cut.markers[missing - 1];
    const int from = missing == 0 ? 0 : before + 2;
    if (missing == 0)
        report.Add(Severity::Error, 1, 0,
                   "区切り行 " + marker + " がありません: " + BuildFailure(lines));
    else
        report.Add(Severity::Error, before + 1, 0,
                   std::string(kMarkers[missing - 1]) + " の後ろに区切り行 " + marker +
                       " がありません: " + BuildFailure(lines));
    // Where a line before the scan's start stands: right after the marker before, or before it.
    const auto place = [&](int i) {
        const std::string previous(kMarkers[missing - 1]);
        return i == before + 1 ? previous + " のすぐ次の行で、" + kSectionNames[missing - 1] +
                                     "の 1 行目になります"
                               : previous + " (" + std::to_string(before + 1) + " 行目) より前です";
    };
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string_view line = lines.Get(i);
        if (i < from && line == marker) {
            report.Note(i + 1, 0, marker + " ですが、" + place(i));
        } else if (const std::string why = LooksLikeMarker(line, marker, i >= from); !why.empty()) {
            // Before the scan's start only a line written as the marker alone is named: there,
            // text that mentions a marker is likely a remark about it.
            report.Note(i + 1, 0,
                        marker + " の区切りになりません: " + why +
                            (i < from ? "。しかも " + place(i) : ""));
        }
    }
}

// The section a line of a cut template belongs to (0 head, 1 frame, 2 foot), −1 for a line the
// page leaves out (before the head, and the frame and foot markers).
int SectionOf(const TemplateCut& cut, int i) {
    if (i <= cut.markers[0] || i == cut.markers[1] || i == cut.markers[2])
        return -1;
    return i < cut.markers[1] ? 0 : i < cut.markers[2] ? 1 : 2;
}

// Marker lines, and lines written almost as markers, that the build copies into the page.
void ReportMarkersInSections(const TStringList& lines, const TemplateCut& cut, FileReport& report) {
    for (int i = cut.markers[0] + 1; i < lines.Count(); ++i) {
        const int section = SectionOf(cut, i);
        if (section < 0)
            continue;
        for (const std::string_view marker : kMarkers) {
            const std::string_view line = lines.Get(i);
            const std::string where = std::string("区切りにはならず、") + kSectionNames[section] +
                                      "の行としてそのままページに入ります";
            if (line == marker)
                report.Add(Severity::Warning, i + 1, 0,
                           std::string(marker) + " の行ですが、" + where);
            else if (const std::string why = LooksLikeMarker(line, marker, false); !why.empty())
                report.Add(Severity::Warning, i + 1, 0,
                           std::string(marker) + " に似ていますが (" + why + ")、" + where);
        }
    }
}

// Tokens the frame lacks or holds twice in a line, and tokens in the head or the foot, which are
// never replaced.
void CheckTokens(const TStringList& lines, const TemplateCut& cut, const Tokens& tokens,
                 FileReport& report) {
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        const std::string& token = tokens[k];
        if (token.empty())
            continue; // an empty token never matches: reported with the options
        bool inFrame = false;
        long long lookalike = 0;
        for (int i = cut.markers[0] + 1; i < lines.Count(); ++i) {
            const int section = SectionOf(cut, i);
            const std::string_view line = lines.Get(i);
            const std::size_t at = line.find(token);
            if (section == 1) {
                if (at == std::string_view::npos) {
                    if (lookalike == 0 &&
                        Upper(FoldFullWidth(line)).find(Upper(FoldFullWidth(token))) !=
                            std::string::npos)
                        lookalike = i + 1;
                    continue;
                }
                inFrame = true;
                if (const std::size_t again = line.find(token, at + token.size());
                    again != std::string_view::npos)
                    report.AddRepeated(kTokenTwiceKind, Severity::Warning, i + 1, again + 1,
                                       token +
                                           " がこの行に 2 つ以上あります: 置き換わるのは最初の 1 "
                                           "つだけで、ここはそのまま残ります");
            } else if ((section == 0 || section == 2) && at != std::string_view::npos) {
                report.AddRepeated(kTokenOutsideFrameKind, Severity::Warning, i + 1, at + 1,
                                   std::string(kSectionNames[section]) + "の " + token +
                                       " は置き換えられず、そのままページに入ります");
            }
        }
        if (!inFrame) {
            report.Add(Severity::Warning, cut.markers[1] + 1, 0,
                       "フレームに " + token + " がありません: " + kFieldNames[k] +
                           "はページに入りません");
            if (lookalike > 0)
                report.Note(lookalike, 0,
                            token + " と大文字小文字や全角半角だけが違う文字があります");
        }
    }
}

std::optional<Encoding> CharsetEncoding(const std::string& name) {
    const std::string upper = Upper(name);
    if (upper == "UTF-8" || upper == "UTF8")
        return Encoding::Utf8;
    for (const char* sjis : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "X-SJIS", "WINDOWS-31J", "CP932",
                             "MS932", "MS_KANJI", "CSSHIFTJIS", "CSWINDOWS31J"}) {
        if (upper == sjis)
            return Encoding::Cp932;
    }
    return std::nullopt;
}

// The first "charset=NAME" on a line that reaches the page (any line, when the cut failed).
Charset FindCharset(const TStringList& lines, const TemplateCut& cut) {
    for (int i = 0; i < lines.Count(); ++i) {
        if (cut.complete && SectionOf(cut, i) < 0)
            continue;
        const std::string_view line = lines.Get(i);
        const std::size_t at = Upper(std::string(line)).find("CHARSET");
        if (at == std::string::npos)
            continue;
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

} // namespace

std::optional<TemplateFacts> CheckTemplate(const std::string& name, const Tokens& tokens,
                                           FileReport& report) {
    // Held whole, as the build holds it.
    TStringList lines;
    if (!ReadLines(name, report, [&lines](long long, std::string_view text) { lines.Add(text); }))
        return std::nullopt;

    const TemplateCut cut = CutTemplate(lines);
    if (cut.complete) {
        ReportMarkersInSections(lines, cut, report);
        CheckTokens(lines, cut, tokens, report);
    } else {
        ReportCutError(lines, cut, report);
    }

    // Invalid bytes matter only where they reach the page; when the cut fails, anywhere.
    EncodingScan scan(FileReport::kShown);
    for (int i = 0; i < lines.Count(); ++i)
        scan.Line(i + 1, lines.Get(i), !cut.complete || SectionOf(cut, i) >= 0);
    ReportEncoding(scan, report);

    TemplateFacts facts;
    facts.encoding = scan.Result();
    facts.firstNonAscii = scan.NonAscii();
    facts.charset = FindCharset(lines, cut);
    const Charset& charset = facts.charset;
    if (facts.encoding != Encoding::Ascii && charset.encoding &&
        *charset.encoding != facts.encoding)
        report.Add(Severity::Warning, charset.line, 0,
                   std::string("テンプレートは ") + EncodingName(facts.encoding) +
                       " ですが charset=" + charset.name +
                       " を宣言しています: ブラウザーはページを " + charset.name +
                       " として読み、文字化けします");
    return facts;
}

} // namespace qvn::check
