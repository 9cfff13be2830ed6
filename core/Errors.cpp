// The system's failure messages. They are written here in UTF-8 and become code page 932 bytes,
// the system's text, when the exception is made.
#include "Errors.h"

#include "Codec.h"

namespace qvn {
namespace {

// "ファイル %s は開けません" / "ファイル %s を作成できません", cut around the file name.
constexpr std::string_view kFilePrefix = "ファイル ";
constexpr std::string_view kOpenSuffix = " は開けません";
constexpr std::string_view kCreateSuffix = " を作成できません";
constexpr std::string_view kIsDataSuffix =
    " はリンクデータのファイルです: ページで置き換えると失われるため、書き込みません";
constexpr std::string_view kIsTemplateSuffix =
    " はテンプレートのファイルです: ページで置き換えると失われるため、書き込みません";
constexpr std::string_view kWrite = "ストリームへの書き込みエラー";
constexpr std::string_view kListIndex = "リストのインデックスが範囲を超えています (";
constexpr std::string_view kNoLinkData = "リンクデータが読み込まれていません";

std::string_view Suffix(FileError::Kind kind) {
    switch (kind) {
    case FileError::Kind::Open:
        return kOpenSuffix;
    case FileError::Kind::Create:
        break;
    case FileError::Kind::OutputIsData:
        return kIsDataSuffix;
    case FileError::Kind::OutputIsTemplate:
        return kIsTemplateSuffix;
    }
    return kCreateSuffix;
}

std::string FileMessage(FileError::Kind kind, const FilePath& path) {
    return Utf8ToCp932(kFilePrefix) + path.Cp932() + Utf8ToCp932(Suffix(kind));
}

} // namespace

FileError::FileError(Kind kind, FilePath path, std::string reason)
    : Error(FileMessage(kind, path), std::move(reason)), kind_(kind), path_(std::move(path)) {}

WriteError::WriteError(std::string reason) : Error(Utf8ToCp932(kWrite), std::move(reason)) {}

ListIndexError::ListIndexError(long long index)
    : Error(Utf8ToCp932(kListIndex) + std::to_string(index) + ")") {}

NoLinkDataError::NoLinkDataError() : Error(Utf8ToCp932(kNoLinkData)) {}

std::string ErrorBoxTextUtf8(const Error& e) {
    const std::string boxed = WithFullStop(e.Message());
    std::string text;
    if (const auto* fe = dynamic_cast<const FileError*>(&e)) {
        // The file name may hold characters that code page 932 lacks: put the name in as it was
        // given and convert only the wording around it. The rule above already decided the stop,
        // which follows the message's fixed ending.
        const std::string_view tail = std::string_view(boxed).substr(
            Utf8ToCp932(kFilePrefix).size() + fe->Path().Cp932().size());
        text = std::string(kFilePrefix) + fe->Path().Display() + Cp932ToUtf8(tail);
    } else if (const std::string* utf8 = e.Utf8Message()) {
        text = boxed.size() > e.Message().size() ? *utf8 + "." : *utf8;
    } else {
        text = Cp932ToUtf8(boxed);
    }
    if (!e.Reason().empty())
        text += " (" + e.Reason() + ")";
    return text;
}

} // namespace qvn
