// A temporary folder for one test (or for a fuzz target's whole run), with its files written and
// read as raw bytes. Names are the core's native names: bytes on Linux, UTF-8 on Windows.
#pragma once

#include "FilePath.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

namespace qvn::test {

// A native name as the standard library's path. On Windows a plain std::string would be taken in
// the ANSI code page, not as UTF-8.
inline std::filesystem::path NativePath(const std::string& name) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
    return std::filesystem::path(name);
#endif
}

class TempDir {
public:
    // A new folder in base: the system's folder for temporary files unless told otherwise.
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const auto dir = base / ("qvn-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(dir)) {
                const std::u8string name = dir.u8string();
                dir_.assign(name.begin(), name.end());
            }
        }
        if (dir_.empty())
            throw std::runtime_error("no temporary folder could be made");
    }
    ~TempDir() {
        // Whatever a test made read-only, the folder included, goes with the rest.
        std::error_code ec;
        const auto dir = NativePath(dir_);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec)) {
            if (!e.is_symlink()) // Windows removes no read-only file
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(dir, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(NativePath(Path(name)), std::ios::binary) << bytes;
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(NativePath(Path(name)), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(std::filesystem::symlink_status(NativePath(Path(name))));
    }
    // Names in the folder, for checking that nothing was left behind.
    int EntryCount() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(NativePath(dir_)))
            ++n;
        return n;
    }

private:
    std::string dir_;
};

// A path as the front ends give it: the file system's own name.
inline FilePath AsPath(const std::string& name) {
    return FilePath::FromNative(name);
}

} // namespace qvn::test
