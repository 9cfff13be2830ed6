// The core's failures. Every failure is an exception carrying its message as UTF-8, worded as the
// user sees it; front ends show it (error box, standard error) but never reword it.
#pragma once

#include "FilePath.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace qvn {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::string reason = {})
        : std::runtime_error(message), message_(std::make_shared<const std::string>(message)),
          reason_(std::make_shared<const std::string>(std::move(reason))) {}
    // The message, without the full stop of the error box. All of it: what() stops at a NUL
    // byte, which a file name may hold.
    const std::string& Message() const { return *message_; }
    // The system's own reason for a failure ("Permission denied", in the user's language); empty
    // when there is none. Not part of the message: it is shown after it, in parentheses.
    const std::string& Reason() const { return *reason_; }

private:
    // Shared, so copying an exception cannot throw.
    std::shared_ptr<const std::string> message_;
    std::shared_ptr<const std::string> reason_;
};

// A file that cannot be opened for reading or created for writing, or a page's output that is one
// of the files the page is made from (the link data, the template), which is never replaced. Keeps
// the name so that a front end can tell which file failed.
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

// The error-box rule: a message that is not empty gets a full stop "." when the first byte of its
// last character is above 0x2E, so nothing is added after ".", ")", a space or a control
// character, and one is added after a letter, a digit or any character outside ASCII.
std::string WithFullStop(std::string message);

// The failure as the error box and qvn-build show it: the message with its full stop, then the
// system's reason, when there is one, in parentheses.
std::string ErrorBoxText(const Error& e);

} // namespace qvn
