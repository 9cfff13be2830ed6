// The file access that is the same on every platform: writing to a stream.
#include "FileIO.h"

#include "Errors.h"

#include <cerrno>
#include <ostream>

namespace qvn {

void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce) {
    // The error number the failed write left, if any, is the reason.
    const auto failed = [] { return WriteError(errno != 0 ? SystemReason(errno) : std::string()); };
    produce([&](std::string& bytes) {
        errno = 0;
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw failed();
        bytes.clear();
    });
    errno = 0;
    if (!out.flush())
        throw failed();
}

} // namespace qvn
