// Running a program on Windows for the tests: its command line quoted as the C runtime reads it,
// its standard handles chosen by the test, or a pseudo console.
#pragma once

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace qvn::test {

inline BOOL WINAPI IgnoreConsoleEvent(DWORD) {
    return TRUE;
}

inline std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0'); // never more UTF-16 units than UTF-8 bytes
    wide.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                              static_cast<int>(wide.size()))));
    return wide;
}

// The argument quoted so that the C runtime's parser gives it back unchanged.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only before a quote, which gets one more of its own.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\'); // before the closing quote
    return quoted + L"\"";
}

inline std::wstring CommandLine(const std::string& exe, const std::vector<std::wstring>& args) {
    std::wstring line = QuoteArgument(Wide(exe));
    for (const auto& a : args)
        line += L" " + QuoteArgument(a);
    return line;
}

// A started program, ended if it still runs when the test is done with it.
class Process {
public:
    Process(std::wstring commandLine, STARTUPINFOW& startup, DWORD flags, bool inheritHandles) {
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles, flags,
                              nullptr, nullptr, &startup, &info_))
            throw std::runtime_error("CreateProcessW failed: " + std::to_string(::GetLastError()));
        ::CloseHandle(info_.hThread);
    }
    Process(Process&& other) noexcept : info_(other.info_) { other.info_ = {}; }
    ~Process() {
        if (!info_.hProcess)
            return;
        if (Wait(0) == STILL_ACTIVE)
            ::TerminateProcess(info_.hProcess, 99);
        ::CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process& operator=(Process&&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    // Ends it at once, as Task Manager's "End task" does, and waits until it has ended.
    void Terminate() const {
        ::TerminateProcess(info_.hProcess, 1);
        ::WaitForSingleObject(info_.hProcess, 10000);
    }
    // The exit status once it has ended within milliseconds, else STILL_ACTIVE.
    DWORD Wait(DWORD milliseconds) const {
        DWORD status = STILL_ACTIVE;
        if (::WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(info_.hProcess, &status);
        return status;
    }

private:
    PROCESS_INFORMATION info_{};
};

// Runs a program with the given standard handles (inheritable, or null for none) and returns its
// exit status.
inline DWORD Run(const std::wstring& commandLine, HANDLE out, HANDLE err) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    const Process process(commandLine, startup, 0, true);
    return process.Wait(60000);
}

// A console without a window: a program started on it, or from a test that has joined it, writes
// to it as to a console window, and Ctrl+C reaches it as it would there. What is written comes
// back as the terminal text the console host makes of it.
class PseudoConsole {
public:
    PseudoConsole() {
        HANDLE inputRead = nullptr, outputWrite = nullptr;
        if (!::CreatePipe(&inputRead, &input_, nullptr, 0) ||
            !::CreatePipe(&output_, &outputWrite, nullptr, 0) ||
            FAILED(::CreatePseudoConsole({250, 25}, inputRead, outputWrite, 0, &console_)))
            throw std::runtime_error("no pseudo console");
        ::CloseHandle(inputRead); // the console holds its own
        ::CloseHandle(outputWrite);
        // The console host blocks once its output pipe is full: read it as it comes.
        reader_ = std::thread([this] {
            char buffer[4096];
            DWORD n = 0;
            while (::ReadFile(output_, buffer, sizeof buffer, &n, nullptr) && n > 0)
                text_.append(buffer, n);
        });
    }
    ~PseudoConsole() {
        Close();
        ::CloseHandle(input_);
        ::CloseHandle(output_);
    }
    PseudoConsole(const PseudoConsole&) = delete;
    PseudoConsole& operator=(const PseudoConsole&) = delete;

    // Starts a program on the console; with out and err (inheritable handles) its standard output
    // and error go there instead, while Ctrl+C still reaches it through the console.
    Process Start(const std::wstring& commandLine, HANDLE out = nullptr, HANDLE err = nullptr) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<char> list(size);
        auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
        ::InitializeProcThreadAttributeList(attributes, 1, 0, &size);
        ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE, console_,
                                    sizeof console_, nullptr, nullptr);
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = attributes;
        if (out) {
            startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
            startup.StartupInfo.hStdOutput = out;
            startup.StartupInfo.hStdError = err;
        }
        Process process(commandLine, startup.StartupInfo, EXTENDED_STARTUPINFO_PRESENT,
                        out != nullptr);
        ::DeleteProcThreadAttributeList(attributes);
        return process;
    }

    // Joins this process to the console of a program started on it, for good: to open the
    // console's output, and to send Ctrl+C. The event reaches this process too, which ignores it.
    // (Wine 8 lets a process join a console once only.)
    bool Join(const Process& onConsole) {
        static const bool ignoring = ::SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
        ::FreeConsole();
        joined_ = ignoring && ::AttachConsole(onConsole.Id());
        return joined_;
    }
    // The console's screen, as a handle a program started from here inherits.
    HANDLE Output() const {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
    }
    // Sends CTRL_C_EVENT or CTRL_BREAK_EVENT to every program on the console, as the keys would.
    bool Signal(DWORD event) const { return joined_ && ::GenerateConsoleCtrlEvent(event, 0); }

    // Closes the console and returns what was written on it.
    const std::string& Close() {
        if (joined_)
            ::FreeConsole();
        joined_ = false;
        if (console_) {
            ::ClosePseudoConsole(console_);
            console_ = nullptr;
            reader_.join();
        }
        return text_;
    }

private:
    HPCON console_ = nullptr;
    bool joined_ = false;
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
    std::thread reader_;
    std::string text_;
};

} // namespace qvn::test
