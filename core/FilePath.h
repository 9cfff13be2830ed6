// A file name in the two forms the system needs: the bytes the caller gave, which messages name
// unchanged, and the name handed to the file system (UTF-8 here).
#pragma once

#include <optional>
#include <string>

namespace qvn {

class FilePath {
public:
    // A code page 932 byte string, as the windows hand over paths. A name that does not convert
    // exactly to the file system's encoding names no file: opening or creating it fails.
    static FilePath FromCp932(std::string cp932);
    // A name in the file system's own bytes, as qvn-build takes it from its command line. Any
    // name the system accepts opens, including names with characters outside code page 932.
    static FilePath FromNative(std::string native);
    // A name that cannot reach the file system unchanged (a front end found characters with no
    // code page 932 form); cp932 is what messages show. Opening or creating it always fails.
    static FilePath Unresolvable(std::string cp932);

    // The name as code page 932 bytes, as it appears in the core's messages. For a native name
    // with characters outside code page 932 those characters show as "?".
    const std::string& Cp932() const { return cp932_; }
    // The name as the user gave it, for a front end whose own text is the file system's
    // encoding; falls back to the code page 932 form decoded for display.
    std::string Display() const;
    // The name to open; nullopt when the name cannot reach the file system unchanged.
    const std::optional<std::string>& Native() const { return native_; }

private:
    FilePath(std::string cp932, std::optional<std::string> native)
        : cp932_(std::move(cp932)), native_(std::move(native)) {}

    std::string cp932_;
    std::optional<std::string> native_;
};

} // namespace qvn
