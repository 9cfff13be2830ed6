// The identity of a file on POSIX systems: its device and inode.
#include "FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvn {

namespace {

bool Stat(const FilePath& path, struct stat& st) {
    return path.Native() && ::stat(path.Native()->c_str(), &st) == 0;
}

bool Same(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool SameFile(const FilePath& a, const FilePath& b) {
    struct stat sa {};
    struct stat sb {};
    return Stat(a, sa) && Stat(b, sb) && Same(sa, sb);
}

bool IsStandardOutput(const FilePath& path) {
    // A descriptor open for reading only writes nothing: with standard output closed, the
    // program's own reading of the file may have been given its number.
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    struct stat out {};
    struct stat file {};
    return flags != -1 && (flags & O_ACCMODE) != O_RDONLY && ::fstat(STDOUT_FILENO, &out) == 0 &&
           Stat(path, file) && Same(out, file);
}

} // namespace qvn
