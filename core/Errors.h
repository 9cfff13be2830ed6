// The core's failures. Every failure is an exception carrying its message as code page 932 bytes,
// worded as the user sees it; front ends show it (error box, standard error) but never reword it.
#pragma once

#include "FilePath.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace qvn {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& cp932Message, std::string reason = {})
        : std::runtime_error(cp932Message),
          message_(std::make_shared<const std::string>(cp932Message)),
          reason_(std::make_shared<const std::string>(std::move(reason))) {}
    // A message that holds text code page 932 may lack (a file name, a token): cp932Message is
    // its code page 932 form, utf8Message the same words as they are shown.
    static Error WithUtf8(const std::string& cp932Message, const std::string& utf8Message) {
        Error e(cp932Message);
        e.utf8_ = std::make_shared<const std::string>(utf8Message);
        return e;
    }
    // The message bytes, code page 932, without the full stop of the error box. All of them:
    // what() stops at a NUL byte, which a file name may hold.
    const std::string& Message() const { return *message_; }
    // The message as UTF-8 when it was made with one; null otherwise.
    const std::string* Utf8Message() const { return utf8_.get(); }
    // The system's own reason for a failed save ("Permission denied", in the user's language),
    // as UTF-8; empty when there is none. Not part of the message: qvn-build prints it after it.
    const std::string& Reason() const { return *reason_; }

private:
    // Shared, so copying an exception cannot throw.
    std::shared_ptr<const std::string> message_;
    std::shared_ptr<const std::string> reason_;
    std::shared_ptr<const std::string> utf8_;
};

// A file that cannot be opened for reading or created for writing, or a page's output that is one
// of the files the page is made from (the link data, the template), which is never replaced. Keeps
// the name so that the front ends can name the file exactly as it was typed.
class FileError : public Error {
public:
    enum class Kind { Open, Create, OutputIsData, OutputIsTemplate };
    FileError(Kind kind, FilePath path, std::string reason = {});

    Kind GetKind() const { return kind_; }
    const FilePath& Path() const { return path_; }

private:
    Kind kind_;
    FilePath path_;
};

// Writing failed part way ("ストリームへの書き込みエラー").
class WriteError : public Error {
public:
    explicit WriteError(std::string reason = {});
};

// A list index outside 0 to Count − 1 ("リストのインデックスが範囲を超えています (%d)").
class ListIndexError : public Error {
public:
    explicit ListIndexError(long long index);
};

// Building a page before any link data was loaded in this run.
class NoLinkDataError : public Error {
public:
    NoLinkDataError();
};

// The message as the error box shows it (WithFullStop), as UTF-8 for a terminal and the windows; a
// FileError names its file as it was given (FilePath::Display), so a name typed in UTF-8 comes back
// byte for byte, and an error made with a UTF-8 message shows that. The system's reason, when
// there is one, follows in parentheses.
std::string ErrorBoxTextUtf8(const Error& e);

} // namespace qvn
