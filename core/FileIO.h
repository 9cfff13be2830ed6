// All reading and writing of files. Files are read a block at a time; writes replace a file
// atomically, so a failure part way (a full disk, a size limit, an interrupt) never leaves a
// half-written file behind.
#pragma once

#include "FilePath.h"
#include "Lines.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace qvn {

// A file open for reading, from its start to its end.
class InputFile final : public ByteSource {
public:
    // FileError (Open) when the file cannot be opened or is a folder.
    explicit InputFile(const FilePath& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // FileError (Open) when reading fails part way.
    std::size_t Read(char* buffer, std::size_t size) override;
    // The size of a regular file when it was opened (it may change while it is read); 0 for
    // anything else.
    std::size_t SizeHint() const { return sizeHint_; }

private:
    FilePath path_; // for the message of a failed read
    std::intptr_t handle_;
    std::size_t sizeHint_ = 0;
};

// Hands produce a sink for the file's bytes, in order, and replaces the file at path by them.
// The bytes go to a new temporary file in the target's folder, which is flushed to disk and then
// renamed over the target; a symbolic link is followed, so the link stays a link, and an existing
// file keeps its permission bits while a new one gets those the umask leaves. FileError (Create)
// when the target cannot be created or may not be written (a folder, a missing folder, a loop of
// links, a file without write permission, which root is refused too), WriteError when a write
// fails. A file root saves for another user stays that user's. On any failure the target is
// untouched and no temporary file is left.
// The bytes are handed over in blocks: the sink takes a block's bytes and leaves the string empty,
// to be filled again (it may swap in another buffer). They are written to disk on a second thread
// while the next block is being made.
using ByteSink = std::function<void(std::string& bytes)>;
void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce);

// The same for a stream (qvn-build's standard output): WriteError when the stream fails.
void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce);

// Makes an interrupt (SIGINT, SIGTERM, SIGHUP) during a ReplaceFile remove its temporary file
// before the process ends as the signal would end it. For a program's start.
void RemoveTemporaryFilesOnInterrupt();

} // namespace qvn
