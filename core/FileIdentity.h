// Whether two names lead to the same file, judged by the file itself rather than by the names, and
// the rule built on it that a page never replaces one of the files it is made from.
#pragma once

#include "FilePath.h"

namespace qvn {

// True when both names reach one existing file: the same device and inode on Linux, the same
// volume and file ID on Windows. Symbolic links are followed, so a link, "./", ".." or another
// letter case of a name all count as the file they reach. False when either name reaches no file.
bool SameFile(const FilePath& a, const FilePath& b);

// True when the process's standard output is the file the name reaches, as after "> NAME",
// ">> NAME" or "1<> NAME".
bool IsStandardOutput(const FilePath& path);

// Refuses an output that is the link data file or the template itself: FileError (OutputIsData,
// OutputIsTemplate) naming the output as it was given. data is null when the link data has no
// file of its own to compare.
void RefuseInputAsOutput(const FilePath& output, const FilePath* data, const FilePath& templ);

} // namespace qvn
