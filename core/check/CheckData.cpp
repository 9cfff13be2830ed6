// The check of the link data: each line's fields as the build cuts them, separators that only look
// like commas, the URL field, sites listed twice, the bytes, and fields that break the page's HTML.
#include "CheckFiles.h"
#include "Codec.h"
#include "Words.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

namespace qvn::check {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A character that may be typed for a comma, in UTF-8 and in code page 932.
struct CommaLookalike {
    std::string_view utf8, cp932;
    const char* name;
};
constexpr CommaLookalike kFullWidthComma{"\xEF\xBC\x8C", "\x81\x43", "全角の「，」"};
constexpr CommaLookalike kIdeographicComma{"\xE3\x80\x81", "\x81\x41", "「、」"};

// Where the character stands in text, read as UTF-8 when the text is valid UTF-8 and otherwise
// as code page 932 a character at a time, so that a trail byte never starts one.
std::vector<std::size_t> Occurrences(std::string_view text, const CommaLookalike& c) {
    std::vector<std::size_t> at;
    if (FirstInvalidUtf8(text) == std::string_view::npos) {
        for (std::size_t p = 0; (p = text.find(c.utf8, p)) != std::string_view::npos; ++p)
            at.push_back(p);
        return at;
    }
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i).starts_with(c.cp932))
            at.push_back(i);
        i += IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return at;
}

// Whether text starts with what can only be meant as an absolute URL (after spaces).
bool StartsLikeUrl(std::string_view text) {
    const std::string start = Lower(FoldFullWidth(text.substr(LeadingSpace(text), 24)));
    return start.starts_with("http://") || start.starts_with("https://") ||
           start.starts_with("www.");
}

// For a line with fewer than three commas: the name of what was typed for them instead ("" for
// nothing recognised), and the offset of the first. A tab counts where the tabs and commas make
// four fields; so does a full-width comma; the ideographic comma, which a description may well
// hold, only where one stands right before a URL.
std::pair<std::string, std::size_t> SeparatorInstead(std::string_view text, int commas) {
    const std::size_t needed = static_cast<std::size_t>(3 - commas);
    if (const std::size_t tab = text.find('\t'); tab != std::string_view::npos) {
        std::size_t tabs = 0;
        for (const char c : text)
            tabs += c == '\t';
        if (tabs >= needed)
            return {"タブ", tab};
    }
    for (const CommaLookalike* c : {&kFullWidthComma, &kIdeographicComma}) {
        const std::vector<std::size_t> at = Occurrences(text, *c);
        if (at.size() < needed)
            continue;
        if (c == &kFullWidthComma)
            return {c->name, at.front()};
        for (const std::size_t p : at) {
            if (StartsLikeUrl(text.substr(p + c->utf8.size())) ||
                StartsLikeUrl(text.substr(p + c->cp932.size())))
                return {c->name, at.front()};
        }
    }
    return {"", 0};
}

// Sites seen so far, to name the first line of a site listed again. The first 16,384 URLs are
// kept, each as a 32-bit tag of its hash and its line in a table of 256 KiB that stays in the
// processor's cache; every later site is still compared with those. The hash of the whole line is
// kept aside, looked at only when a URL comes again. Memory stays flat however long the file.
class SeenSites {
public:
    struct First {
        long long line = 0;    // 0: the URL is new
        bool sameLine = false; // the whole line is the same too
    };

    First Look(std::string_view url, std::string_view text, long long line) {
        if (slots_.empty()) {
            slots_.resize(kSlots);
            texts_.resize(kSlots);
        }
        const std::uint64_t hash = std::hash<std::string_view>{}(url);
        const auto tag = static_cast<std::uint32_t>(hash >> 32) | 1; // 0: an empty slot
        for (std::size_t i = hash & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
            Slot& slot = slots_[i];
            if (slot.tag == tag)
                return {slot.line, texts_[i] == std::hash<std::string_view>{}(text)};
            if (slot.tag == 0) {
                if (kept_ < kKept && line <= UINT32_MAX) {
                    ++kept_;
                    slot = {tag, static_cast<std::uint32_t>(line)};
                    texts_[i] = std::hash<std::string_view>{}(text);
                }
                return {};
            }
        }
    }

private:
    static constexpr std::size_t kSlots = std::size_t{1} << 15;
    static constexpr std::size_t kKept = kSlots / 2;
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t line = 0;
    };

    std::vector<Slot> slots_;        // allocated at the first URL
    std::vector<std::size_t> texts_; // the hash of each kept site's whole line
    std::size_t kept_ = 0;
};

// Whether a URL field is the word a heading line would hold there ("URL", "アドレス"), in UTF-8
// or in code page 932. Only the English words are compared in lower case: the second byte of a
// code page 932 character may be a letter ("ク" is 0x83 'N'), and lowering it would make another
// character.
bool IsHeading(std::string_view field) {
    static const std::vector<std::string> japanese = [] {
        std::vector<std::string> words;
        for (const char* word : {"アドレス", "リンク", "リンク先", "ホームページ"}) {
            words.emplace_back(word);
            words.push_back(Utf8ToCp932(word));
        }
        return words;
    }();
    constexpr std::string_view kEnglish[] = {"url", "uri", "address", "link", "href"};
    std::string word = FoldFullWidth(field.substr(0, 32));
    word = word.substr(LeadingSpace(word));
    word.resize(word.size() - TrailingSpace(word));
    return std::ranges::find(japanese, word) != japanese.end() ||
           std::ranges::find(kEnglish, Lower(word)) != std::end(kEnglish);
}

class DataCheck {
public:
    DataCheck(const TokenContexts* html, FileReport& report) : html_(html), report_(report) {}

    void Line(long long line, std::string_view text) {
        if (line == 1 && text.starts_with(kBom))
            report_.Add(kBomKind, Severity::Warning, 1, Column{1, 1},
                        std::string("ファイルの先頭に目に見えない文字があり、最初のサイトの") +
                            QuotedField(kSiteName) +
                            "の頭に入ります。メモ帳なら文字コードに「UTF-8」を選んで保存し直して"
                            "ください。");
        TLinkRecord record;
        std::size_t k = 0;
        const int commas =
            SplitFields(text, kLinkFields, [&](std::string_view field) { record[k++] = field; });
        if (html_)
            html_->CheckSite(line, text, record, report_);
        if (commas < 3 && !Fields(line, text, commas, record))
            return;
        // A site without a URL is the same site only as the same line (a URL holds no comma, so
        // the two kinds of key never meet).
        if (record[kURL].empty()) {
            if (const auto first = seen_.Look(text, text, line); first.line > 0)
                report_.AddRepeated(kDuplicateKind, Severity::Warning, line, {},
                                    SameLine(first.line));
            return;
        }
        if (line == 1 && IsHeading(record[kURL])) {
            report_.Add(kHeadingKind, Severity::Warning, 1, {},
                        "1 行目は項目の見出しのようです。見出しの行もサイトとしてページに入る"
                        "ので、この行を消してください。");
            return;
        }
        if (std::string why = UrlProblem(record); !why.empty())
            report_.AddRepeated(
                kUrlKind, Severity::Warning, line,
                Column::At(text, static_cast<std::size_t>(record[kURL].data() - text.data())),
                std::move(why));
        if (const auto first = seen_.Look(record[kURL], text, line); first.line > 0)
            report_.AddRepeated(kDuplicateKind, Severity::Warning, line, {},
                                first.sameLine
                                    ? SameLine(first.line)
                                    : "URL が " + std::to_string(first.line) +
                                          " 行目のサイトと同じです。同じサイトを 2 回載せて"
                                          "いないか確かめてください。");
    }

    // The scan of each line's bytes, which needs nothing else: run on the thread that reads.
    void Ahead(std::string_view text) { ahead_.scan.Line(++ahead_.line, text, true); }

    FileFacts Finish() {
        if (tabLines_ > 0)
            report_.Add(kFieldsKind, Severity::Warning, firstTab_.line, firstTab_.column,
                        firstTab_.text + (tabLines_ > 1
                                              ? "タブで区切られた行はほかに " +
                                                    std::to_string(tabLines_ - 1) + " 行あります。"
                                              : ""));
        ReportEncoding(ahead_.scan, report_);
        return {ahead_.scan.Result(), ahead_.scan.NonAscii()};
    }

private:
    // A line with fewer than three commas: which fields the build leaves empty, what becomes the
    // description, and what was typed for the commas. True when the URL field is worth a look.
    bool Fields(long long line, std::string_view text, int commas, const TLinkRecord& record) {
        if (text.empty()) {
            report_.AddRepeated(kFieldsKind, Severity::Warning, line, {},
                                "空の行です。4 項目とも空のサイトが 1 件ページに入ります。要らな"
                                "ければ行を消してください。");
            return false;
        }
        std::string empty;
        for (std::size_t f = 0; f + 1 < kLinkFields; ++f) {
            if (record[f].empty())
                empty += QuotedField(f);
        }
        const std::string result =
            empty + "は空になり、" +
            (commas == 0 ? std::string("行全体")
                         : std::to_string(commas) + " つめのカンマより後ろ") +
            "が" + QuotedField(kDescription) + "になります。";
        const auto [instead, at] = SeparatorInstead(text, commas);
        if (instead == "タブ") {
            if (tabLines_++ == 0)
                firstTab_ = {line, Column::At(text, at),
                             "項目がタブで区切られています。区切りになるのは半角のカンマ「,」"
                             "だけなので、" +
                                 result + "カンマ区切り (CSV) で保存し直してください。"};
            return false;
        }
        if (!instead.empty()) {
            report_.AddRepeated(kFieldsKind, Severity::Warning, line, Column::At(text, at),
                                "項目が" + instead +
                                    "で区切られています。区切りになるのは半角のカンマ「,」だけ"
                                    "なので、" +
                                    result + "半角の「,」に直してください。");
            return false;
        }
        report_.AddRepeated(
            kFieldsKind, Severity::Warning, line, {},
            (commas == 0 ? std::string("カンマがありません。")
                         : "カンマが " + std::to_string(commas) + " つしかありません。") +
                result + "サイト名,URL,管理者,サイト説明 の 4 項目にしてください。");
        return commas > 0;
    }

    static std::string SameLine(long long first) {
        return "この行は " + std::to_string(first) +
               " 行目とまったく同じです。同じサイトがページに 2 回入ります。";
    }

    struct Pending {
        long long line = 0;
        Column column;
        std::string text;
    };

    const TokenContexts* html_;
    FileReport& report_;
    // What the reading thread writes for every line (Ahead), looked at here only in Finish. On
    // cache lines of its own: sharing one with the members this thread reads for every line, it
    // made the two threads take each other's lines away (a million lines in 0.19 s, not 0.17 s).
    struct alignas(64) AheadScan {
        EncodingScan scan{FileReport::kShown};
        long long line = 0;
    };
    AheadScan ahead_;
    SeenSites seen_;
    long long tabLines_ = 0; // a file cut by tabs is reported once, at its first such line
    Pending firstTab_;
};

} // namespace

std::optional<FileFacts> CheckData(const Input& data, const TokenContexts* html,
                                   FileReport& report) {
    DataCheck check(html, report);
    bool utf16 = false;
    if (!ReadLines(
            data, report, utf16,
            [&](long long line, std::string_view text) { check.Line(line, text); },
            [&](std::string_view text) { check.Ahead(text); }))
        return std::nullopt;
    if (utf16) {
        report.Add(kEncodingKind, Severity::Warning, 1, {},
                   "このファイルは UTF-16 (メモ帳の「Unicode」) で保存されていて、ビルドには最初"
                   "の数文字しか読めません。サイトは 1 件だけになり、その項目も文字化けします。"
                   "テンプレートと同じ文字コード (UTF-8 か Shift_JIS) で保存し直してください。");
        return FileFacts{Encoding::Utf16, {}};
    }
    return check.Finish();
}

} // namespace qvn::check
