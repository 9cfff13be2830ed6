// The parts of the check that look at one input file each, and what they learn for the
// comparison of the two.
#pragma once

#include "Links.h"
#include "Report.h"
#include "TextScan.h"

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
};

// Kinds of findings that may repeat line after line (FileReport::AddRepeated).
inline constexpr const char* kFieldsKind = "項目の足りない行";
inline constexpr const char* kUrlKind = "URL の書き方";
inline constexpr const char* kDuplicateKind = "重なったサイト";
inline constexpr const char* kTokenTwiceKind = "1 行に 2 つある置換文字列";
inline constexpr const char* kTokenOutsideFrameKind = "ヘッドとフットの置換文字列";
inline constexpr const char* kMarkerInSectionKind = "区切り行にならない行";
inline constexpr const char* kBadBytesKind = "読めない文字";

// The field names in messages, in brackets as the help page writes them, indexed by LinkField.
inline constexpr const char* kFieldNames[kLinkFields] = {"「サイト名」", "「URL」", "「管理者」",
                                                         "「サイト説明」"};

// Reads the file's lines as a build does (InputFile, LineReader), handing line(number, text) each
// one, and reports a NUL byte that ends the text early, or text in UTF-16, which a build cannot
// read. False, with the error reported, when the file cannot be read; utf16 is set for UTF-16.
// With bytes, those are read in place of the file's (the link list as edited in the windows).
bool ReadLines(const std::string& name, FileReport& report, bool& utf16,
               const std::function<void(long long, std::string_view)>& line,
               std::optional<std::string_view> bytes = std::nullopt);

// Reports the lines that do not fit the file's encoding, once the scan has decided it, and tells
// the report how to count columns.
void ReportEncoding(const EncodingScan& scan, FileReport& report);

// The checks of the data file: fields, separators, URLs, repeated sites, its bytes.
std::optional<FileFacts> CheckData(const std::string& name, FileReport& report,
                                   std::optional<std::string_view> bytes = std::nullopt);

// The checks of the template: its cut, its tokens, its bytes. nullopt when it cannot be read.
std::optional<TemplateFacts> CheckTemplate(const std::string& name, const Tokens& tokens,
                                           FileReport& report);

// What is wrong with a URL field, in a sentence or two; "" when it looks like a URL, a relative
// one or one of another scheme (mailto:, ftp:) included. record: the whole line's fields, to
// tell a URL written in another field.
std::string UrlProblem(const TLinkRecord& record);

} // namespace qvn::check
