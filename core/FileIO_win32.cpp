// Windows file access for the core. Names reach CreateFileW as UTF-16: the file system's name
// (FilePath::Native) is UTF-8 here, made from a code page 932 name through code page 932 or from
// qvn-build's UTF-16 command line. The link data and the template are read with read sharing only,
// so no other program writes them meanwhile; a page is written to a temporary file beside the
// target, made with the target's access list, and put in its place with ReplaceFileW, which keeps
// the target's attributes and security, or with MoveFileExW for a new file.
#include "BackgroundWriter.h"
#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <optional>
#include <random>
#include <vector>
#include <windows.h>

// windows.h names ReplaceFileW ReplaceFile too; here ReplaceFile is the core's.
#undef ReplaceFile

namespace qvn {
namespace {

// The full form of a name, resolved against the current folder as CreateFileW would. One longer
// than the classic limit of 260 gets the "\\?\" prefix, which lifts it; others stay as Windows
// normalises them (slashes become backslashes, trailing dots and spaces go).
std::optional<std::wstring> FullName(const std::wstring& name) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return std::nullopt;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    if (full.size() < MAX_PATH - 12 || full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\")) // \\server\share\... -> \\?\UNC\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::optional<std::wstring> SystemName(const FilePath& path) {
    if (!path.Native())
        return std::nullopt;
    // An empty name names no file.
    const auto wide = path.Native()->empty() ? std::nullopt : Utf8ToUtf16(*path.Native());
    return wide ? FullName(*wide) : std::nullopt;
}

// The system's text for a Windows error code, in the user's language, as UTF-8, without its
// closing stop and line break.
std::string Reason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
    ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' ||
                             wide.back() == L'.' || wide.back() == L'\u3002'))
        wide.pop_back();
    if (wide.empty())
        return "error " + std::to_string(error);
    return Utf16ToUtf8(wide).value_or("error " + std::to_string(error));
}

// Closes a handle on every path out of a scope.
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid())
            ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    // Gives the handle up without closing it.
    void Release() { h_ = INVALID_HANDLE_VALUE; }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

void WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr))
            throw WriteError(Reason(::GetLastError()));
        if (written == 0)
            throw WriteError();
        bytes.remove_prefix(written);
    }
}

// The temporary file being written, for the console's interrupt handler, which runs on a thread
// of its own. The lock is held while the file is given its final name, so that the handler
// either removes the file before that or finds it gone.
std::mutex g_tempMutex;
std::wstring g_tempName; // empty when there is none

BOOL WINAPI RemoveTemporaryFileAndExit(DWORD) {
    g_tempMutex.lock(); // kept until the end: nothing is renamed after this
    if (!g_tempName.empty())
        ::DeleteFileW(g_tempName.c_str()); // gone once the process's handle to it is closed
    // As the system's own handler ends a process on Ctrl+C, but at once: the main thread may be
    // anywhere, and nothing of it should run on.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    return TRUE;
}

// A new temporary file in the folder that name is in, under a name of fixed length. Shared for
// deletion only, so that the interrupt handler can remove it while it is open.
// The access list of an existing target, so that the new page's contents are never open to more
// users than the old page's, from the first byte on (ReplaceFileW puts the full security in place
// at the end). Empty when there is no target or it cannot be read: the folder's defaults apply.
std::vector<char> AccessListOf(const std::wstring& name, bool exists) {
    std::vector<char> descriptor;
    DWORD size = 0;
    if (!exists)
        return descriptor;
    ::GetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    descriptor.resize(size);
    if (size == 0 || !::GetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION,
                                         descriptor.data(), size, &size))
        descriptor.clear();
    return descriptor;
}

HANDLE CreateTemporary(const std::wstring& name, bool exists, std::wstring& temp) {
    std::vector<char> descriptor = AccessListOf(name, exists);
    SECURITY_ATTRIBUTES security{sizeof security, descriptor.empty() ? nullptr : descriptor.data(),
                                 FALSE};
    static constexpr wchar_t kChars[] =
        L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kChars) - 2);
    const std::wstring folder = name.substr(0, name.find_last_of(L'\\') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folder + L".qvn-";
        for (int i = 0; i < 8; ++i)
            temp += kChars[pick(random)];
        // Created and made known to the handler in one step: it never sees a file that is not
        // there yet, nor misses one that is.
        const std::lock_guard lock(g_tempMutex);
        const HANDLE h = ::CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                       &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            g_tempName = temp;
            return h;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

// The file a save replaces: the final name behind links, and whether it exists. nullopt when it
// may not be replaced, with the system's error code in error (0 when the refusal is ours alone):
// a folder, a read-only file, a device, a file open elsewhere without delete sharing, a name in a
// folder that does not exist.
struct Target {
    std::wstring name;
    bool exists;
};

std::optional<Target> FindTarget(const std::wstring& name, DWORD& error) {
    // Opened as replacing it needs, for deletion: a file that another program holds open without
    // letting it go (a viewer, the data file being read) is refused now, before the page is made.
    const Handle h(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) {
        error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return Target{name, false};
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    error = 0;
    if (::GetFileType(h.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h.get(), &info))
        return std::nullopt;
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        error = ERROR_ACCESS_DENIED; // what writing it would meet
        return std::nullopt;
    }
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(h.get(), final.data(), static_cast<DWORD>(final.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return Target{name, true}; // no final name to be had: replace the name as given
        if (n < final.size()) {
            final.resize(n);
            return Target{final, true};
        }
        final.resize(n);
    }
}

// Marks an open file to go when its last handle closes, or takes the mark back. A temporary file
// so marked goes whatever ends the process, even TerminateProcess; the mark is taken back just
// before the file is put in place.
bool DeleteOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != 0;
}

// Puts the complete temporary file in the target's place.
bool Commit(const std::wstring& temp, const Target& target) {
    if (target.exists) {
        if (::ReplaceFileW(target.name.c_str(), temp.c_str(), nullptr, 0, nullptr, nullptr))
            return true;
        const DWORD error = ::GetLastError();
        // The target went away meanwhile, or was removed and the new file not moved in: the
        // new file takes the name as a new file would.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return false;
    }
    return ::MoveFileExW(temp.c_str(), target.name.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace

InputFile::InputFile(const FilePath& path) : path_(path), handle_(-1) {
    const auto name = SystemName(path);
    if (!name) // no file can have the name; an empty one is not found, as on Linux
        throw FileError(FileError::Kind::Open, path,
                        path.Display().empty() ? Reason(ERROR_PATH_NOT_FOUND) : std::string());
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS.
    Handle h(::CreateFileW(name->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.valid())
        throw FileError(FileError::Kind::Open, path, Reason(::GetLastError()));
    LARGE_INTEGER size{};
    if (::GetFileType(h.get()) == FILE_TYPE_DISK && ::GetFileSizeEx(h.get(), &size))
        sizeHint_ = static_cast<std::size_t>(size.QuadPart);
    handle_ = reinterpret_cast<std::intptr_t>(h.get());
    h.Release();
}

InputFile::~InputFile() {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::size_t InputFile::Read(char* buffer, std::size_t size) {
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, ask, &n, nullptr))
        return n;
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE) // a pipe's writer is done: the end of the data
        return 0;
    throw FileError(FileError::Kind::Open, path_, Reason(error));
}

void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce) {
    // Ctrl+C, Ctrl+Break, the console window closed, the user logging off, the system shutting
    // down: the temporary file goes first. Set up by the first save, so that no front end can
    // forget it. A process started with Ctrl+C ignored is not told of it, so it goes on ignoring
    // it.
    static std::once_flag handler;
    std::call_once(handler, [] { ::SetConsoleCtrlHandler(RemoveTemporaryFileAndExit, TRUE); });

    const auto fail = [&path](DWORD error) {
        return FileError(FileError::Kind::Create, path, error != 0 ? Reason(error) : std::string());
    };
    const auto name = SystemName(path);
    if (!name)
        throw FileError(FileError::Kind::Create, path);
    DWORD error = 0;
    const auto target = FindTarget(*name, error);
    if (!target)
        throw fail(error);

    std::wstring temp;
    Handle file(CreateTemporary(target->name, target->exists, temp));
    if (!file.valid())
        throw fail(::GetLastError());

    // Where the file system cannot mark it, the file is removed as before: on failure and on an
    // interrupt.
    const bool marked = DeleteOnClose(file.get(), true);
    try {
        {
            BackgroundWriter writer(
                [handle = file.get()](std::string_view bytes) { WriteAll(handle, bytes); });
            produce([&writer](std::string& bytes) { writer.Write(bytes); });
            writer.Finish();
        }
        if (!::FlushFileBuffers(file.get()))
            throw WriteError(Reason(::GetLastError()));
        if (marked && !DeleteOnClose(file.get(), false))
            throw fail(::GetLastError());
        if (!file.Close())
            throw WriteError(Reason(::GetLastError()));
        const std::lock_guard lock(g_tempMutex);
        if (!Commit(temp, *target))
            throw fail(::GetLastError());
        g_tempName.clear();
    } catch (...) {
        if (file.valid())
            file.Close();
        const std::lock_guard lock(g_tempMutex);
        ::DeleteFileW(temp.c_str());
        g_tempName.clear();
        throw;
    }
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

void UseNamedTemporaryFiles(bool) {
    // Always named here.
}

} // namespace qvn
