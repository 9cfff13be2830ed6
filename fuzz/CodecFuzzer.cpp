// The code page 932 codec and the error box's full-stop rule, on any bytes: the exact and the
// lossy conversions agree wherever the exact one succeeds; text made for display is well-formed
// UTF-8; code page 932 made from typed text always reads back; the full stop follows the last
// byte; and the text of an error is its message, the file's name as given, stop included.
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

// A stop follows unless the last byte is at most 0x2E: every byte of a character outside ASCII
// is above it.
void CheckFullStop(std::string_view s) {
    const std::string boxed = WithFullStop(std::string(s));
    const bool stop = !s.empty() && static_cast<unsigned char>(s.back()) > 0x2E;
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
    // A name comes back byte for byte.
    const FileError given(FileError::Kind::Create, FilePath::FromNative(name));
    QVN_CHECK(given.Message() == "ファイル " + name + " を作成できません");
    QVN_CHECK(ErrorBoxText(given) == "ファイル " + name + " を作成できません.");

    // The list-index message ends in ")": no stop.
    const long long index = static_cast<long long>(s.size()) - 1;
    QVN_CHECK(ErrorBoxText(ListIndexError(index)) ==
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
