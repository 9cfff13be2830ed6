// A temporary folder for one test, with its files written and read as raw bytes.
#pragma once

#include "StringList.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>

namespace qvn::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qvn-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(std::filesystem::symlink_status(Path(name)));
    }
    // Names in the folder, for checking that nothing was left behind.
    int EntryCount() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_))
            ++n;
        return n;
    }

private:
    std::string dir_;
};

// A path given as code page 932 bytes, as the windows give them.
inline FilePath AsPath(const std::string& cp932) {
    return FilePath::FromCp932(cp932);
}

// The bytes TStringList::SaveToFile writes for list.
inline std::string SavedBytes(const TStringList& list) {
    TempDir dir;
    list.SaveToFile(AsPath(dir.Path("saved")));
    return dir.Read("saved");
}

} // namespace qvn::test
