// The code page 932 codec and the error box's full-stop rule, on any bytes: the exact and the
// lossy conversions agree wherever the exact one succeeds; text made for display is well-formed
// UTF-8; code page 932 made from typed text always reads back; the full stop follows the first
// byte of the last character; and the terminal text of an error is its message, stop included.
//
// Input: bytes, taken both as code page 932 and as UTF-8.
#include "Codec.h"
#include "Errors.h"
#include "FuzzSupport.h"
#include "Reference.h"

#include <string>
#include <string_view>

namespace {

using namespace qvn;
using namespace qvn::fuzz;

// The first byte of the last character, walking code page 932 characters from the start (a lead
// byte takes the byte after it, whatever it is).
unsigned char LastCharacterFirstByte(std::string_view s) {
    std::size_t i = 0;
    std::size_t last = 0;
    while (i < s.size()) {
        last = i;
        const auto b = static_cast<unsigned char>(s[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        i += lead ? 2 : 1;
    }
    return static_cast<unsigned char>(s[last]);
}

void CheckFullStop(std::string_view s) {
    const std::string boxed = WithFullStop(s);
    const bool stop = !s.empty() && LastCharacterFirstByte(s) > 0x2E;
    QVN_CHECK(boxed == std::string(s) + (stop ? "." : ""));
}

void CheckCp932(std::string_view s) {
    const std::string lossy = Cp932ToUtf8(s);
    QVN_CHECK(ref::IsUtf8(lossy));
    if (const auto exact = Cp932ToUtf8Exact(s)) {
        QVN_CHECK(ref::IsUtf8(*exact));
        QVN_CHECK(lossy == *exact);
        // Back and forth again gives the same characters (code page 932 has pairs of codes for
        // one character, so the bytes may differ).
        const auto back = Utf8ToCp932Exact(*exact);
        QVN_CHECK(back);
        QVN_CHECK(Cp932ToUtf8Exact(*back) == exact);
    } else {
        QVN_CHECK(lossy.find("\xEF\xBF\xBD") != std::string::npos); // the mark of what was lost
    }
}

void CheckUtf8(std::string_view s) {
    const std::string lossy = Utf8ToCp932(s);
    QVN_CHECK(Cp932ToUtf8Exact(lossy)); // a "?" for each thing lost, the rest whole characters
    if (const auto exact = Utf8ToCp932Exact(s)) {
        QVN_CHECK(lossy == *exact);
        QVN_CHECK(ref::IsUtf8(s));
    } else {
        QVN_CHECK(lossy.find('?') != std::string::npos);
    }
}

// The text qvn-build and the windows show for errors naming the input, and for one that names
// nothing.
void CheckErrorText(std::string_view s) {
    const std::string name(s);
    // A name typed in code page 932 (the windows) is shown decoded.
    const FileError typed(FileError::Kind::Open, FilePath::FromCp932(name));
    QVN_CHECK(typed.Message() == Utf8ToCp932("ファイル ") + name + Utf8ToCp932(" は開けません"));
    const std::string typedText = ErrorBoxTextUtf8(typed);
    QVN_CHECK(typedText == "ファイル " + Cp932ToUtf8(name) + " は開けません.");
    QVN_CHECK(ref::IsUtf8(typedText));

    // A name from the command line comes back byte for byte, unless it cannot name a file.
    const FileError given(FileError::Kind::Create, FilePath::FromNative(name));
    QVN_CHECK(given.Message() ==
              Utf8ToCp932("ファイル ") + Utf8ToCp932(name) + Utf8ToCp932(" を作成できません"));
    const std::string shown =
        name.find('\0') == std::string::npos ? name : Cp932ToUtf8(Utf8ToCp932(name));
    QVN_CHECK(ErrorBoxTextUtf8(given) == "ファイル " + shown + " を作成できません.");

    // The list-index message ends in ")": no stop.
    const long long index = static_cast<long long>(s.size()) - 1;
    QVN_CHECK(ErrorBoxTextUtf8(ListIndexError(index)) ==
              "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view s(reinterpret_cast<const char*>(data), size);
    CheckFullStop(s);
    CheckCp932(s);
    CheckUtf8(s);
    CheckErrorText(s);
    return 0;
}
