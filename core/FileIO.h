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

// windows.h, when it came first, names ReplaceFileW ReplaceFile: the name here is the core's.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace qvn {

// A file open for reading, from its start to its end.
class InputFile final : public ByteSource {
public:
    // FileError (Open) when the file cannot be opened or is a folder, with the system's reason.
    explicit InputFile(const FilePath& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // FileError (Open) when reading fails part way, with the system's reason.
    std::size_t Read(char* buffer, std::size_t size) override;
    // The size of a regular file when it was opened (it may change while it is read); 0 for
    // anything else.
    std::size_t SizeHint() const { return sizeHint_; }

private:
    FilePath path_; // for the message of a failed read
    std::intptr_t handle_;
    std::size_t sizeHint_ = 0;
};

// The whole file's bytes. FileError (Open) when it cannot be opened or read.
std::string ReadFile(const FilePath& path);

// A text file as lines are read from it: its bytes up to its first NUL byte, which ends the text,
// that byte included; nothing after it is read, so a huge file whose text ends early costs little.
// size: the file's size, for saying how much was left unread. FileError (Open) as ReadFile.
std::string ReadText(const FilePath& path, std::uint64_t& size);

// Hands produce a sink for the file's bytes, in order, and replaces the file at path by them.
// The bytes go to a new file in the target's folder, which is flushed to disk and then put in the
// target's place in one step (on Linux an unnamed file, named only once complete; elsewhere a
// temporary ".qvn-" file renamed over the target). A symbolic link is followed, so the link stays
// a link. The new file has, from its creation on, the old file's permission bits (those the umask
// leaves for a new one), its owner where the process may give it (root), else its group where it
// may, and its access control list and extended attributes. Another hard link to the old file
// keeps the old contents. FileError (Create) when the target cannot be created or may not be
// written (a folder, a missing folder, a loop of links, a file without write permission, which
// root is refused too), WriteError when a write fails; both carry the system's reason. On any
// failure the target is untouched and no temporary file is left: every save makes sure that a size
// limit (SIGXFSZ) fails the write instead of ending the process, and that every signal that ends
// the process removes a named temporary file first (signals the process ignores or handles itself
// stay as they are); on Windows the temporary file goes with the process however it ends.
// On Linux a name that stands for one of the process's descriptors (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N) is written through that descriptor, from where it stands, and nothing is
// replaced.
// The bytes are handed over in blocks: the sink takes a block's bytes and leaves the string empty,
// to be filled again (it may swap in another buffer). They are written to disk on a second thread
// while the next block is being made.
using ByteSink = std::function<void(std::string& bytes)>;
void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce);

// The same for a stream (qvn-build's standard output): WriteError when the stream fails.
void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce);

// The system's text for the C library's error number error, in the user's language, as UTF-8.
std::string SystemReason(int error);

// For tests: saves use a named temporary file, as on a file system that has no unnamed ones.
void UseNamedTemporaryFiles(bool named);

} // namespace qvn
