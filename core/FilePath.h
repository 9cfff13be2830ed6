// A file name as the user gave it: typed, chosen in a dialog, dropped or written on a command line,
// in the file system's own bytes (UTF-8 on Windows, which the platform code hands on as UTF-16).
#pragma once

#include <string>

namespace qvn {

class FilePath {
public:
    FilePath() = default; // the empty name, which names no file
    static FilePath FromNative(std::string native) { return FilePath(std::move(native)); }

    // The name as it was given, for messages.
    const std::string& Display() const { return name_; }
    // The name to open; null for a name no file can have (a NUL byte would cut it short at the
    // system call), which fails to open and to create.
    const std::string* Native() const {
        return name_.find('\0') == std::string::npos ? &name_ : nullptr;
    }

private:
    explicit FilePath(std::string name) : name_(std::move(name)) {}

    std::string name_;
};

} // namespace qvn
