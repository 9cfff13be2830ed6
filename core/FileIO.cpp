// The file access that is the same on every platform: writing to a stream.
#include "FileIO.h"

#include "Errors.h"

#include <ostream>

namespace qvn {

void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce) {
    produce([&out](std::string& bytes) {
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw WriteError();
        bytes.clear();
    });
    if (!out.flush())
        throw WriteError();
}

} // namespace qvn
