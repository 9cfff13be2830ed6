// The system's failure messages.
#include "Errors.h"

namespace qvn {
namespace {

std::string FileMessage(FileError::Kind kind, const FilePath& path) {
    const char* suffix = " を作成できません";
    switch (kind) {
    case FileError::Kind::Open:
        suffix = " は開けません";
        break;
    case FileError::Kind::Create:
        break;
    case FileError::Kind::OutputIsData:
        suffix = " はリンクデータのファイルです: ページで置き換えると失われるため、書き込みません";
        break;
    case FileError::Kind::OutputIsTemplate:
        suffix = " はテンプレートのファイルです: ページで置き換えると失われるため、書き込みません";
        break;
    }
    return "ファイル " + path.Display() + suffix;
}

} // namespace

FileError::FileError(Kind kind, FilePath path, std::string reason)
    : Error(FileMessage(kind, path), std::move(reason)), kind_(kind), path_(std::move(path)) {}

WriteError::WriteError(std::string reason)
    : Error("ストリームへの書き込みエラー", std::move(reason)) {}

ListIndexError::ListIndexError(long long index)
    : Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")") {}

NoLinkDataError::NoLinkDataError() : Error("リンクデータが読み込まれていません") {}

std::string WithFullStop(std::string message) {
    // The bytes of a character outside ASCII are all above 0x2E, the last one included: the last
    // byte decides alone.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > 0x2E)
        message += '.';
    return message;
}

std::string ErrorBoxText(const Error& e) {
    std::string text = WithFullStop(e.Message());
    if (!e.Reason().empty())
        text += " (" + e.Reason() + ")";
    return text;
}

} // namespace qvn
