// The parts of the check that look at one input file each, and what they learn for the
// comparison of the two.
#pragma once

#include "Check.h"
#include "Links.h"
#include "Report.h"
#include "TextScan.h"
#include "TokenContexts.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qvn::check {

// What the comparison of the data's encoding with the template's needs to know of a file.
struct FileFacts {
    Encoding encoding = Encoding::Ascii;
    BadByte firstNonAscii; // line 0 for a file of ASCII only
};

// A charset the template declares ("charset=…" on a line that reaches the page).
struct Charset {
    std::string name;                 // as written; empty: none declared
    long long line = 0;               // where it is declared
    std::optional<Encoding> encoding; // nullopt for a name of no encoding told apart here
};

struct TemplateFacts : FileFacts {
    Charset charset;
    std::optional<TokenContexts> html; // where the frame's tokens stand; none unless it can be cut
};

// The kinds of findings. Those that may come line after line (FileReport::AddRepeated) carry the
// words that name them when the ones past the first few are left out.
inline constexpr Kind kFieldsKind{"fields", "項目の足りない行"};
inline constexpr Kind kUrlKind{"url", "URL の書き方"};
inline constexpr Kind kDuplicateKind{"duplicate", "重なったサイト"};
inline constexpr Kind kTokenTwiceKind{"token", "1 行に 2 つある置換文字列"};
inline constexpr Kind kTokenOutsideFrameKind{"token", "ヘッドとフットの置換文字列"};
inline constexpr Kind kMarkerInSectionKind{"marker", "区切り行にならない行"};
inline constexpr Kind kBadBytesKind{"encoding", "読めない文字"};
inline constexpr Kind kEncodingKind{"encoding"};
inline constexpr Kind kTokenKind{"token"};
inline constexpr Kind kCutKind{"cut"};
inline constexpr Kind kUnreadableKind{"unreadable"};
inline constexpr Kind kNulKind{"nul"};
inline constexpr Kind kHeadingKind{"heading"};
inline constexpr Kind kBomKind{"bom"};
inline constexpr Kind kCharsetKind{"charset"};

// Reads the input's lines as a build does (InputFile, LineReader), handing line(number, text) each
// one, and reports a NUL byte that ends the text early, or text in UTF-16, which a build cannot
// read. False, with the error reported, when the file cannot be read; utf16 is set for UTF-16.
// `ahead`, when given, also gets every line in order, on the thread that reads them (LinesAhead),
// for work that needs nothing else; what it writes may be looked at once ReadLines has returned.
using LineFunction = std::function<void(long long, std::string_view)>;
bool ReadLines(const Input& input, FileReport& report, bool& utf16, const LineFunction& line,
               const std::function<void(std::string_view)>& ahead = nullptr);

// Reports the lines that do not fit the file's encoding, once the scan has decided it, and tells
// the report how to count columns.
void ReportEncoding(const EncodingScan& scan, FileReport& report);

// The checks of the data file: fields, separators, URLs, repeated sites, its bytes, and with the
// template's token contexts (html) the fields that would break the page where they go.
std::optional<FileFacts> CheckData(const Input& data, const TokenContexts* html,
                                   FileReport& report);

// The checks of the template: its cut, its tokens (typed, converted here to its encoding), its
// bytes. nullopt when it cannot be read.
std::optional<TemplateFacts> CheckTemplate(const Input& templ, const Tokens& typed,
                                           const TokenNames& names, FileReport& report);

// Tokens that cannot all do their work whatever the template holds. `tokens` as the build
// matches them, `typed` as the user wrote them, for the messages.
void CheckTokenOptions(const Tokens& tokens, const Tokens& typed, const TokenNames& names,
                       FileReport& report);

// What is wrong with a URL field, in a sentence or two; "" when it looks like a URL, a relative
// one or one of another scheme (mailto:, ftp:) included. record: the whole line's fields, to
// tell a URL written in another field.
std::string UrlProblem(const TLinkRecord& record);

} // namespace qvn::check
