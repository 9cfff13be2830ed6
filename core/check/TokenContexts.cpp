// Where the frame's tokens stand in the page as HTML, and what a field does there. The template is
// read once as the browser reads the page: the head, then the frame as the build writes it, each
// field put where the builder's own FillFrameLine puts it. For each data line only the fields'
// bytes are looked at, and only those with a character that can break where they stand.
#include "TokenContexts.h"

#include "Codec.h"
#include "TextScan.h"
#include "TokenText.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace qvn::check {
namespace {

using S = HtmlState;
using Site = TokenContexts::Site;

// What ends or spoils a value without quotes (UnquotedBreak).
constexpr std::string_view kUnquotedBreaks = " \t\n\f\r>\"'=<`";

// A frame that leaves the page in another state than it found it (a comment left open, say) is
// written from that state for the next site; the states come round again after a few sites at most
// in any template seen, and past this many the last is taken for every site after.
constexpr std::size_t kMaxRepetitions = 8;

// What a field can do to the page, one finding a data line each.
enum Rule : std::size_t {
    kDoubleQuote, // a '"' in a value quoted with '"'
    kSingleQuote,
    kUnquoted,    // a space, ">", a quote, "=", "<" or "`" in a value without quotes
    kScheme,      // javascript:, vbscript:, data: at the start of a URL attribute
    kOpenElement, // in text: a comment or raw text element opened, not closed
    kOpenTag,     // in text: a tag started, its ">" not in the field
    kCommentEnd,  // in a comment: "-->"
    kRawTextEnd,  // in <script>, <style>...: its end tag
    kRules
};

constexpr std::array<Kind, kRules> kKinds = {
    Kind{"html", "属性の値を終わらせる「\"」"},     Kind{"html", "属性の値を終わらせる「'」"},
    Kind{"html", "引用符のない属性の値を壊す文字"}, Kind{"html", "スクリプトになる URL"},
    Kind{"html", "閉じていないコメントや要素"},     Kind{"html", "閉じていないタグ"},
    Kind{"html", "コメントを終わらせる「-->」"},    Kind{"html", "要素を終わらせる終了タグ"}};

// The attributes whose value a browser follows as a URL.
bool IsUrlAttribute(std::string_view name) {
    constexpr std::array<std::string_view, 15> kNames = {
        "href",     "src",      "action", "formaction", "cite",     "poster", "background", "data",
        "codebase", "longdesc", "usemap", "icon",       "manifest", "lowsrc", "xlink:href"};
    return std::ranges::find(kNames, name) != kNames.end();
}

bool IsAttributeValue(HtmlState state) {
    return state == S::BeforeAttrValue || state == S::AttrValueDq || state == S::AttrValueSq ||
           state == S::AttrValueUnquoted;
}

// Where the next mark of kFieldMarks is in a filled frame line, from `from` on; npos for none.
std::size_t FindMark(std::string_view text, std::size_t from) {
    for (std::size_t p = from; (p = text.find('\x1F', p)) != kNone; ++p) {
        if (p + 2 < text.size() && text[p + 1] >= '0' && text[p + 1] <= '3' &&
            text[p + 2] == '\x1F')
            return p;
    }
    return kNone;
}

// The length of the spaces and control characters a URL parser skips at the start of url.
std::size_t LeadingControls(std::string_view url) {
    std::size_t i = 0;
    while (i < url.size() && static_cast<unsigned char>(url[i]) <= ' ')
        ++i;
    return i;
}

// The scheme a URL parser reads at the start of url, in lower case with its colon, after the
// leading controls and without the tabs it drops ("java\tscript:"); "" for none.
std::string Scheme(std::string_view url) {
    std::string scheme;
    std::size_t i = LeadingControls(url);
    for (; i < url.size() && scheme.size() < 12; ++i) {
        const char c = url[i];
        if (c == ':')
            return scheme + ':';
        if (c == '\t') // dropped, as line breaks are, which never reach a field
            continue;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return "";
        scheme += static_cast<char>(c | 0x20);
    }
    return "";
}

// Whether a URL starts with a scheme that runs what follows: javascript:, vbscript:, data:.
bool RunsScript(std::string_view url) {
    const std::size_t start = LeadingControls(url);
    if (start == url.size() || std::string_view("jJvVdD").find(url[start]) == kNone)
        return false; // nearly every URL: no scheme to read
    const std::string scheme = Scheme(url);
    return scheme == "javascript:" || scheme == "vbscript:" || scheme == "data:";
}

// Whether a browser reads the field as code page 932: the page's encoding decides, and with a
// template of ASCII only the field's own bytes.
bool ReadAsCp932(TextEncoding page, std::string_view field) {
    return page == TextEncoding::Cp932 ||
           (page == TextEncoding::Ascii && ClassifyUtf8(field) == Utf8Kind::NotUtf8);
}

// In text: the field read alone from the text state. Where the tokenizer ends tells what the field
// leaves open: nothing (a lone "<" at its end included, which the next byte decides), a comment or
// a raw text element, or a tag. `opened`: where that began, the last "<" read in text.
std::optional<Rule> OpenAtEnd(std::string_view field, bool cp932, std::size_t& opened,
                              HtmlTokenizer& html) {
    html.Feed(field, cp932, [&](std::size_t i) {
        if (html.State() == S::TagOpen)
            opened = i;
        return false;
    });
    const HtmlState end = html.State();
    if (end == S::Data || end == S::TagOpen)
        return std::nullopt;
    return IsCommentState(end) || IsRawTextState(end) || end == S::Plaintext ? kOpenElement
                                                                             : kOpenTag;
}

// The bytes without which a field cannot break where the tokenizer is in `state` (Breaks).
std::string_view BreakingBytes(HtmlState state) {
    if (state == S::Data || IsRawTextState(state))
        return "<";
    if (IsCommentState(state))
        return ">";
    if (state == S::AttrValueDq || state == S::AttrValueSq)
        return state == S::AttrValueDq ? "\"" : "'";
    return state == S::BeforeAttrValue || state == S::AttrValueUnquoted ? kUnquotedBreaks : "";
}

// The first character that ends or spoils a value without quotes: a space or line break ends it,
// ">" ends the tag, and a quote, "=", "<" or "`" is an error that browsers have read as the end.
std::size_t UnquotedBreak(std::string_view field, bool cp932) {
    for (std::size_t i = 0; i < field.size(); i += CharLength(field, i, cp932)) {
        if (kUnquotedBreaks.find(field[i]) != kNone)
            return i;
    }
    return kNone;
}

// Calls hit(rule, offset) for each rule the field breaks where the site's token stands, at the
// byte that does it. The byte each rule needs ("<", ">", a quote) is looked for first: none of them
// is ever part of another character, in code page 932 or UTF-8.
template <typename Hit>
void Breaks(const Site& site, std::string_view field, TextEncoding page, Hit&& hit) {
    const auto cp932 = [&] { return ReadAsCp932(page, field); };
    const HtmlState state = site.html.State();
    if (site.urlStart && RunsScript(field))
        hit(kScheme, LeadingControls(field));
    if (state == S::Data) {
        if (field.find('<') != kNone) {
            std::size_t opened = 0;
            HtmlTokenizer html;
            if (const auto rule = OpenAtEnd(field, cp932(), opened, html))
                hit(*rule, opened);
        }
    } else if (state == S::AttrValueDq || state == S::AttrValueSq) {
        const char quote = state == S::AttrValueDq ? '"' : '\'';
        if (const std::size_t at = field.find(quote); at != kNone)
            hit(quote == '"' ? kDoubleQuote : kSingleQuote, at);
    } else if (state == S::BeforeAttrValue || state == S::AttrValueUnquoted) {
        if (const std::size_t at = UnquotedBreak(field, cp932()); at != kNone)
            hit(kUnquoted, at);
    } else if (IsCommentState(state) && field.find('>') != kNone) {
        // Only a ">" ends a comment: "-->", "--!>", or right after "<!--".
        HtmlTokenizer html = site.html;
        const std::size_t end = html.Feed(
            field, cp932(), [&html](std::size_t) { return !IsCommentState(html.State()); });
        std::size_t start = end; // where "-->" or "--!>" begins
        while (end != kNone && start > 0 && (field[start - 1] == '-' || field[start - 1] == '!'))
            --start;
        if (end != kNone)
            hit(kCommentEnd, start);
    } else if (IsRawTextState(state) && field.find('<') != kNone) {
        HtmlTokenizer html = site.html;
        std::size_t lt = 0;
        const std::size_t end = html.Feed(field, cp932(), [&](std::size_t i) {
            if (html.State() == S::RawLt)
                lt = i;
            return !IsRawTextState(html.State());
        });
        if (end != kNone || html.AtEndTagName()) // "</script" at the end, before the frame's ">"
            hit(kRawTextEnd, lt);
    }
}

// The printable ASCII characters of field from `at` on, `max` at most: what a message may quote of
// a field whatever its encoding.
std::string AsciiAt(std::string_view field, std::size_t at, std::size_t max) {
    std::size_t end = at;
    while (end < field.size() && end - at < max && field[end] > ' ' && field[end] < 0x7F)
        ++end;
    return std::string(field.substr(at, end - at));
}

// "属性 href の値", or "属性の値" for a name a message cannot quote.
std::string ValueOf(const Site& site) {
    const std::string& name = site.html.Attribute();
    return !name.empty() && AsciiAt(name, 0, 32) == name ? "属性 " + name + " の値" : "属性の値";
}

// The finding's sentences: the field and the character, the template line of its token, what the
// character does to the page there, and what to write instead.
std::string Message(Rule rule, const Site& site, std::string_view field, std::size_t at,
                    TextEncoding page) {
    const std::string what = QuotedField(site.field) + "の";
    const std::string where = "テンプレート " + std::to_string(site.line) + " 行目の";
    const char c = field[at];
    switch (rule) {
    case kDoubleQuote:
    case kSingleQuote: {
        const std::string quote(1, c);
        return what + "「" + quote + "」が、" + where + ValueOf(site) + " (「" + quote +
               "」で囲まれた部分) をそこで終わらせます。後ろの文字はタグの属性として読まれ、"
               "スクリプトを仕込む形にもなります。「" +
               quote + "」を「" + (c == '"' ? "&quot;" : "&#39;") + "」と書いてください。";
    }
    case kUnquoted: {
        const std::string value = where + "引用符で囲まれていない" + ValueOf(site);
        const std::string fix = "テンプレートで値を「\"」で囲んでください。";
        const char* space = c == ' ' ? "空白" : c == '\t' ? "タブ" : "改行";
        if (c <= ' ') // white space: a space, a tab, a line break or a form feed
            return what + space + "は、" + value +
                   "をそこで終わらせます。後ろの文字はタグの属性として読まれます。" + fix;
        return what + "「" + std::string(1, c) + "」は、" + value +
               (c == '>' ? "の中でタグをそこで終わらせます。後ろの文字はページの本文になります。"
                         : "の中では誤りの文字で、ブラウザーによっては値がそこで終わります。") +
               fix;
    }
    case kScheme: {
        const std::string scheme = Scheme(field);
        return QuotedField(site.field) + "は「" + scheme + "」で始まり、" + where + ValueOf(site) +
               "の頭に入ります。" +
               (scheme == "data:" ? "この URL は中身がそのまま開かれ、スクリプトも動かせます。"
                                  : "クリックするとリンク先を開く代わりにスクリプトが動きます。") +
               "「http://」か「https://」で始まる URL に直してください。";
    }
    case kOpenElement: {
        HtmlTokenizer html;
        std::size_t opened = 0;
        OpenAtEnd(field, ReadAsCp932(page, field), opened, html);
        const std::string& element = html.RawElement();
        const std::string fix = "項目の中で閉じるか、「<」を「&lt;」と書いてください。";
        if (IsCommentState(html.State()))
            return what + "「<!--」が項目の中で閉じていないため、" + where +
                   "この後ろから次の「-->」までがコメントになり、ページに表示されません。" + fix;
        if (html.State() == S::Plaintext)
            return what + "「<plaintext>」のため、" + where +
                   "この後ろのページがすべて、タグの効かない文字になります。" + fix;
        return what + "「<" + element + ">」が項目の中で閉じていないため、" + where +
               "この後ろから「</" + element + ">」までが、ページの本文として読まれなくなります。" +
               fix;
    }
    case kOpenTag: {
        const std::string tag = AsciiAt(field, at, 12);
        return what + "「" + tag + "」で始まるタグが項目の中で「>」で閉じていないため、" + where +
               "この後ろの文字が、次の「>」までタグの一部として読まれます。「>」を補うか、「<」を"
               "「&lt;」と書いてください。";
    }
    case kCommentEnd: {
        std::size_t end = at;
        while (end < field.size() && field[end] != '>')
            ++end;
        return what + "「" + std::string(field.substr(at, end + 1 - at)) + "」が、" + where +
               "コメントをそこで終わらせます。項目の残りとコメントの後ろの文字が、ページに表示"
               "されます。「--」と「>」を続けて書かないでください。";
    }
    case kRawTextEnd:
    case kRules:
        break;
    }
    const std::string& element = site.html.RawElement();
    const std::string fix = element == "script" || element == "style"
                                ? "「</」を「<\\/」と書いてください。"
                                : "「<」を「&lt;」と書いてください。";
    return what + "「" + AsciiAt(field, at, 2 + element.size()) + "」が、" + where + " <" +
           element +
           "> をそこで終わらせます。項目の残りとその後ろの文字が、ページの本文として表示"
           "されます。" +
           fix;
}

} // namespace

void TokenContexts::CheckSite(long long line, std::string_view text, const TLinkRecord& record,
                              FileReport& report) const {
    const Frame& frame = FrameFor(line);
    // Nearly every line holds none of the bytes that could break its fields where they go, and no
    // script scheme where a URL starts: a look through the line, and at those fields' first bytes.
    if (std::ranges::none_of(frame.breaking,
                             [text](char b) { return text.find(b) != std::string_view::npos; }) &&
        std::ranges::none_of(frame.urlFields,
                             [&record](std::size_t k) { return RunsScript(record[k]); }))
        return;
    std::array<const Site*, kRules> first{};
    std::array<std::size_t, kRules> at{};
    for (const Site& site : frame.sites) {
        const std::string_view field = record[site.field];
        if (field.empty())
            continue;
        Breaks(site, field, encoding_, [&](Rule rule, std::size_t offset) {
            if (!first[rule] || site.field < first[rule]->field) { // the first on the line
                first[rule] = &site;
                at[rule] = offset;
            }
        });
    }
    for (std::size_t rule = 0; rule < kRules; ++rule) {
        const Site* site = first[rule];
        if (!site)
            continue;
        const std::string_view field = record[site->field];
        const auto offset = static_cast<std::size_t>(field.data() - text.data()) + at[rule];
        report.AddRepeated(kKinds[rule], Severity::Warning, line, Column::At(text, offset),
                           Message(static_cast<Rule>(rule), *site, field, at[rule], encoding_));
    }
}

TokenContexts::TokenContexts(const TStringList& lines, const TemplateCut& cut, const Tokens& tokens)
    : encoding_(JudgeEncoding(lines)) {
    const bool cp932 = encoding_ == TextEncoding::Cp932;
    HtmlTokenizer html;
    std::vector<std::pair<int, std::string>> frame; // each line as filled with kFieldMarks
    for (int i = 0; i < lines.Count(); ++i) {
        const TemplateCut::Section section = cut.SectionOf(i);
        if (section == TemplateCut::Section::Head) {
            html.Feed(lines.Get(i), cp932);
            html.Step('\n'); // every line of the page ends in CR LF, which HTML reads as LF
        } else if (section == TemplateCut::Section::Frame) {
            frame.emplace_back(i + 1, FillFrameLine(lines.Get(i), tokens, kFieldMarks));
        }
    }
    // The frame is written once a site, each time from where the one before left the page. The
    // states at its start are followed until one comes round again.
    std::vector<HtmlTokenizer> starts;
    while (starts.size() < kMaxRepetitions) {
        if (const auto seen = std::ranges::find(starts, html); seen != starts.end()) {
            cycle_ = static_cast<std::size_t>(seen - starts.begin());
            return;
        }
        starts.push_back(html);
        Frame& rep = reps_.emplace_back();
        for (const auto& [line, text] : frame) {
            for (std::size_t from = 0;;) {
                const std::size_t mark = FindMark(text, from);
                html.Feed(std::string_view(text).substr(from, mark - from), cp932);
                if (mark == kNone)
                    break;
                const bool urlStart = IsAttributeValue(html.State()) && html.ValueStart() &&
                                      IsUrlAttribute(html.Attribute());
                const auto field = static_cast<std::size_t>(text[mark + 1] - '0');
                rep.sites.push_back({field, line, html, urlStart});
                if (urlStart && std::ranges::find(rep.urlFields, field) == rep.urlFields.end())
                    rep.urlFields.push_back(field);
                for (const char b : BreakingBytes(html.State())) {
                    if (rep.breaking.find(b) == std::string::npos)
                        rep.breaking += b;
                }
                html.Step('x'); // the field, as text that breaks nothing
                from = mark + 3;
            }
            html.Step('\n');
        }
    }
    cycle_ = reps_.size() - 1;
}

const TokenContexts::Frame& TokenContexts::FrameFor(long long line) const {
    const auto site = static_cast<std::size_t>(line - 1);
    if (site < reps_.size())
        return reps_[site];
    const std::size_t period = reps_.size() - cycle_;
    return reps_[period == 1 ? cycle_ : cycle_ + (site - cycle_) % period];
}

} // namespace qvn::check
