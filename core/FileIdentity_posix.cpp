// The identity of a file on POSIX systems: its device and inode.
#include "FileIdentity.h"

#include <sys/stat.h>

namespace qvn {

bool SameFile(const FilePath& a, const FilePath& b) {
    struct stat sa {};
    struct stat sb {};
    if (!a.Native() || !b.Native() || ::stat(a.Native()->c_str(), &sa) != 0 ||
        ::stat(b.Native()->c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace qvn
