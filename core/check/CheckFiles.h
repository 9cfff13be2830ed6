// The parts of qvn-build --check that look at one input file each, and what they learn for the
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
    std::string name;                 // as written
    long long line = 0;               // 0: none declared
    std::optional<Encoding> encoding; // nullopt for a name that is neither UTF-8 nor Shift_JIS
};

struct TemplateFacts : FileFacts {
    Charset charset;
};

// Kinds of findings that may repeat line after line (FileReport::AddRepeated).
inline constexpr const char* kFieldsKind = "項目の足りない行";
inline constexpr const char* kTokenTwiceKind = "1 行に 2 つある置換文字列";
inline constexpr const char* kTokenOutsideFrameKind = "ヘッドとフットの置換文字列";
inline constexpr const char* kBadBytesKind = "不正なバイト";

// The field names in messages, in brackets as the help page writes them, indexed by LinkField.
inline constexpr const char* kFieldNames[kLinkFields] = {"「サイト名」", "「URL」", "「管理者」",
                                                         "「サイト説明」"};

// Reads the file's lines as a build does (InputFile, LineReader), handing line(number, text) each
// one, and reports a NUL byte that ends the text early. False, with the error reported, when the
// file cannot be read.
bool ReadLines(const std::string& name, FileReport& report,
               const std::function<void(long long, std::string_view)>& line);

// Reports the bytes the scan found invalid, once the file turns out to be code page 932.
void ReportEncoding(const EncodingScan& scan, FileReport& report);

// The checks of the template: its cut, its tokens, its bytes. nullopt when it cannot be read.
std::optional<TemplateFacts> CheckTemplate(const std::string& name, const Tokens& tokens,
                                           FileReport& report);

} // namespace qvn::check
