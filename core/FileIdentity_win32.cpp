// The identity of a file on Windows: its volume's serial number and its file ID, read from a
// handle that asks for no access, so a file another program holds open still answers.
#include "Codec.h"
#include "FileIdentity.h"

#include <optional>
#include <windows.h>

namespace qvn {
namespace {

struct Identity {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (h == INVALID_HANDLE_VALUE || h == nullptr || !::GetFileInformationByHandle(h, &info))
        return std::nullopt;
    return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::optional<Identity> IdentityOf(const FilePath& path) {
    if (!path.Native() || path.Native()->empty())
        return std::nullopt;
    const auto wide = Utf8ToUtf16(*path.Native());
    if (!wide)
        return std::nullopt;
    // Backup semantics let a folder open too; a link is followed to the file it names.
    const HANDLE h =
        ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const auto identity = IdentityOf(h);
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    return identity;
}

} // namespace

bool SameFile(const FilePath& a, const FilePath& b) {
    const auto ia = IdentityOf(a);
    return ia && ia == IdentityOf(b);
}

bool IsStandardOutput(const FilePath& path) {
    const auto out = IdentityOf(::GetStdHandle(STD_OUTPUT_HANDLE));
    return out && out == IdentityOf(path);
}

} // namespace qvn
