// What the fuzz targets share: a check that stops the run, a folder of the process's own for the
// files a target writes, and the cutting of one input into several parts.
#pragma once

#include "TempDir.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace qvn::fuzz {

// A failed check aborts: libFuzzer keeps the input as a crash, and a replay test fails.
[[noreturn]] inline void CheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define QVN_CHECK(condition)                                                                       \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::qvn::fuzz::CheckFailed(#condition, __FILE__, __LINE__);                              \
    } while (false)

#define QVN_FAIL(what) ::qvn::fuzz::CheckFailed(what, __FILE__, __LINE__)

// A folder of the process's own, made on first use and removed when the process ends normally
// (after a crash it stays, with what the target wrote). On a RAM file system when there is one:
// every save flushes its file to disk, which there costs nothing.
inline const test::TempDir& Scratch() {
    static const test::TempDir scratch([] {
        std::error_code ec;
        return std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                   ? std::filesystem::path("/dev/shm")
                   : std::filesystem::temp_directory_path();
    }());
    return scratch;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    QVN_CHECK(out.flush());
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    QVN_CHECK(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether the folder holds a temporary file of a save (".qvn-" and eight letters or digits)
// anywhere below it, other than `page` (a name relative to the folder, which the save was asked
// to write and so may look like one): a save leaves none behind, whether it succeeds or fails.
inline bool HoldsTemporaryFile(const std::string& dir, std::string_view page = {}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 13 || !name.starts_with(".qvn-") ||
            entry.path().lexically_relative(dir) == page)
            continue;
        if (std::all_of(name.begin() + 5, name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            }))
            return true;
    }
    return false;
}

// The parts of an input, cut at every pair of NUL bytes. A part may still hold a single NUL,
// which is all a text file needs: its text ends at the first NUL anyway.
inline std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kCut("\0\0", 2);
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (std::size_t cut; (cut = input.find(kCut, begin)) != std::string_view::npos;
         begin = cut + kCut.size())
        parts.emplace_back(input.substr(begin, cut - begin));
    parts.emplace_back(input.substr(begin));
    return parts;
}

} // namespace qvn::fuzz
