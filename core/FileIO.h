// All reading and writing of files. Reads take a file whole; writes replace a file atomically,
// so a failure part way (a full disk, a size limit) never leaves a half-written file behind.
#pragma once

#include "FilePath.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qvn {

// The file's whole contents. FileError (Open) when it cannot be opened or read, or is a folder.
std::string ReadWholeFile(const FilePath& path);

// Hands produce a sink for the file's bytes, in order, and replaces the file at path by them.
// The bytes go to a new temporary file in the target's folder, which is flushed to disk and then
// renamed over the target; a symbolic link is followed, so the link stays a link, and an existing
// file keeps its permission bits. FileError (Create) when the target cannot be created or may not
// be written (a folder, a missing folder, a file without write permission, which root is refused
// too), WriteError when a write fails. A file root saves for another user stays that user's. On any
// failure the target is untouched and no temporary file is left.
using ByteSink = std::function<void(std::string_view)>;
void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce);

// The same for a stream (qvn-build's standard output): WriteError when the stream fails.
void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce);

} // namespace qvn
