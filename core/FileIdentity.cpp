// The rule that a page never replaces its own inputs, over the platform's test of identity.
#include "FileIdentity.h"

#include "Errors.h"

namespace qvn {

void RefuseInputAsOutput(const FilePath& output, const FilePath* data, const FilePath& templ) {
    if (data && SameFile(output, *data))
        throw FileError(FileError::Kind::OutputIsData, output);
    if (SameFile(output, templ))
        throw FileError(FileError::Kind::OutputIsTemplate, output);
}

} // namespace qvn
