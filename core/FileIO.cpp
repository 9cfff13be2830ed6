// The file access that is the same on every platform: reading a whole file, writing to a stream.
#include "FileIO.h"

#include "Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>

namespace qvn {

std::string ReadFile(const FilePath& path) {
    InputFile file(path);
    std::string bytes(file.SizeHint(), '\0'); // one allocation for a file that keeps its size
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size()) { // full: a small read finds the end, or that the file grew
            char probe[4096];
            const std::size_t n = file.Read(probe, sizeof probe);
            if (n == 0)
                break;
            bytes.resize(std::max<std::size_t>(size * 2, sizeof probe) + n);
            std::copy_n(probe, n, bytes.data() + size);
            size += n;
            continue;
        }
        const std::size_t n = file.Read(bytes.data() + size, bytes.size() - size);
        if (n == 0)
            break;
        size += n;
    }
    bytes.resize(size);
    return bytes;
}

std::string ReadText(const FilePath& path, std::uint64_t& size) {
    InputFile file(path);
    std::string text;
    char block[1 << 16];
    while (const std::size_t n = file.Read(block, sizeof block)) {
        const void* nul = std::memchr(block, '\0', n);
        text.append(block, nul ? static_cast<const char*>(nul) - block + 1 : n);
        if (nul)
            break;
    }
    size = std::max<std::uint64_t>(file.SizeHint(), text.size());
    return text;
}

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
