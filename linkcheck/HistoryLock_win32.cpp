// The history's lock on Windows: a mutex named after the file's full path, in the user's session.
// (A lock on the file itself would stop ReplaceFileW from putting the new history in its place.)
// A mutex left by a process that ended while it held it is taken over: saves are whole or absent.
#include "Codec.h"
#include "HistoryLock.h"

#include <cstdio>
#include <windows.h>

namespace qvn::linkcheck {
namespace {

// The mutex's name: a hash of the full path in lower case, as the file system compares names.
std::wstring MutexName(const std::string& path) {
    const auto wide = Utf8ToUtf16(path);
    if (!wide)
        return {};
    std::wstring full(32768, L'\0');
    const DWORD n =
        ::GetFullPathNameW(wide->c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return {};
    full.resize(n);
    ::CharLowerBuffW(full.data(), n);
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (const wchar_t c : full) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 0x100000001b3ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\Quorvane-history-%016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

} // namespace

HistoryLock::HistoryLock(const std::string& path, const std::function<void()>& waiting) {
    const std::wstring name = MutexName(path);
    if (name.empty())
        return;
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex)
        return;
    DWORD got = ::WaitForSingleObject(mutex, 0);
    if (got == WAIT_TIMEOUT) {
        if (waiting)
            waiting();
        got = ::WaitForSingleObject(mutex, INFINITE);
    }
    if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

HistoryLock::~HistoryLock() {
    if (handle_ == -1)
        return;
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}

} // namespace qvn::linkcheck
