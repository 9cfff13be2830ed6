// A child process for the tests, started the same way on Linux and on Windows: a program with its
// arguments, its standard input, output and error each as the test chooses (a file, a pipe,
// closed), the signals at their default actions, a wait bounded in time, and how it ended. On
// Linux a function can run in a copy of this process instead; on Windows a program can run on a
// pseudo console, through which Ctrl+C reaches it.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
// Only after winsock2.h: on its own, windows.h brings the older winsock.h, which clashes with it.
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#endif

namespace qvn::test {

#ifdef _WIN32
class PseudoConsole;
#endif

// What one of the child's descriptors is: 0 its standard input, 1 its output, 2 its error (on
// Linux any other number too). Those not chosen are this process's own.
struct Stream {
    enum class Kind { Closed, Pipe, Read, Write, Append, Update, Screen };
    Kind kind;
    std::string path; // the file of Read, Write (made anew or emptied), Append and Update

    static Stream Closed() { return {Kind::Closed, {}}; }
    // What it writes goes into a pipe that this process reads (Child::Read); one stream at most.
    static Stream Pipe() { return {Kind::Pipe, {}}; }
    static Stream ReadFrom(std::string path) { return {Kind::Read, std::move(path)}; }
    static Stream WriteTo(std::string path) { return {Kind::Write, std::move(path)}; }
    static Stream AppendTo(std::string path) { return {Kind::Append, std::move(path)}; }
    // An existing file open for reading and writing from its start, as the shell's "<>".
    static Stream Update(std::string path) { return {Kind::Update, std::move(path)}; }
#ifdef _WIN32
    // The screen of the console this process has joined (PseudoConsole::Join).
    static Stream Screen() {
        return {Kind::Screen, {}};
    }
#endif
};

struct Options {
    std::map<int, Stream> streams = {}; // by descriptor
#ifdef _WIN32
    PseudoConsole* console = nullptr; // started on it, Ctrl+C reaches the program through it
#else
    std::vector<std::string> environment = {}; // "NAME=value", over this process's own
#endif
};

// How a child ended; while it runs, neither is set.
struct Exit {
    int status = -1; // its exit status once it has exited (on Windows its exit code), else -1
    int signal = 0;  // the signal that ended it, else 0
};

#ifdef _WIN32
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

inline BOOL WINAPI IgnoreConsoleEvent(DWORD) {
    return TRUE;
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

    HPCON Handle() const { return console_; }

    // Joins this process to the console of a program started on it (Child::Id), for good: to
    // open the console's screen, and to send Ctrl+C. The event reaches this process too, which
    // ignores it. (Wine 8 lets a process join a console once only.)
    bool Join(DWORD processOnConsole) {
        static const bool ignoring = ::SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
        ::FreeConsole();
        joined_ = ignoring && ::AttachConsole(processOnConsole);
        return joined_;
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
#endif

// A started child, ended at once if it still runs when the test is done with it.
class Child {
public:
#ifdef _WIN32
    Child(const std::string& program, const std::vector<std::string>& args,
          const Options& options = {})
        : Child(program, WideArgs(args), options) {}
    // A program with arguments that need not be Unicode text.
    Child(const std::string& program, const std::vector<std::wstring>& args,
          const Options& options = {});
#else
    Child(const std::string& program, const std::vector<std::string>& args,
          const Options& options = {});
    // Runs body in a copy of this process, which ends with body's return value (126 if it throws).
    explicit Child(const std::function<int()>& body, const Options& options = {}) {
        Start(options, body);
    }
#endif
    ~Child() {
        if (!Ended())
            Terminate();
        CloseOutput();
#ifdef _WIN32
        ::CloseHandle(process_);
#endif
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    auto Id() const {
        return id_;
    }

    // How it ended, once it has within bound.
    Exit Wait(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (!Ended() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return exit_;
    }

#ifndef _WIN32
    void Signal(int signal) const {
        ::kill(id_, signal);
    }
#endif
    // Ends it at once (SIGKILL, or TerminateProcess as Task Manager's "End task") and waits.
    void Terminate() {
#ifdef _WIN32
        ::TerminateProcess(process_, 1);
#else
        Signal(SIGKILL);
#endif
        Wait(std::chrono::seconds(10));
    }

    // Up to `most` bytes from the pipe on its output, fewer once the pipe ends.
    std::string Read(std::size_t most = std::string::npos) {
        std::string bytes;
        char buffer[4096];
        for (long n = 1; n > 0 && bytes.size() < most;) {
            const std::size_t want = std::min(sizeof buffer, most - bytes.size());
#ifdef _WIN32
            DWORD got = 0;
            n = ::ReadFile(output_, buffer, static_cast<DWORD>(want), &got, nullptr) ? long(got)
                                                                                     : -1;
#else
            n = ::read(output_, buffer, want);
#endif
            bytes.append(buffer, static_cast<std::size_t>(std::max(n, 0L)));
        }
        return bytes;
    }
    // Closes this process's end of that pipe: what the child writes after that fails.
    void CloseOutput() {
#ifdef _WIN32
        if (output_)
            ::CloseHandle(output_);
        output_ = nullptr;
#else
        if (output_ >= 0)
            ::close(output_);
        output_ = -1;
#endif
    }

private:
#ifdef _WIN32
    static std::vector<std::wstring> WideArgs(const std::vector<std::string>& utf8) {
        std::vector<std::wstring> wide;
        for (const auto& a : utf8)
            wide.push_back(Wide(a));
        return wide;
    }

    // The handle the child gets for stream, inheritable, or null for none.
    HANDLE Open(const Stream& stream) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const auto file = [&](const std::wstring& name, DWORD access, DWORD disposition) {
            return ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        HANDLE write = nullptr;
        switch (stream.kind) {
        case Stream::Kind::Closed:
            return nullptr;
        case Stream::Kind::Pipe:
            if (!::CreatePipe(&output_, &write, &inherit, 0))
                throw std::runtime_error("no pipe");
            ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0); // this process's end
            return write;
        case Stream::Kind::Read:
            return file(Wide(stream.path), GENERIC_READ, OPEN_EXISTING);
        case Stream::Kind::Write:
            return file(Wide(stream.path), GENERIC_WRITE, CREATE_ALWAYS);
        case Stream::Kind::Append:
            return file(Wide(stream.path), FILE_APPEND_DATA, OPEN_ALWAYS);
        case Stream::Kind::Update:
            return file(Wide(stream.path), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        case Stream::Kind::Screen:
            return file(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        }
        return nullptr;
    }

    bool Ended() {
        DWORD status = 0;
        if (exit_.status == -1 && ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0 &&
            ::GetExitCodeProcess(process_, &status))
            exit_.status = static_cast<int>(status);
        return exit_.status != -1;
    }

    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    HANDLE output_ = nullptr;
#else
    bool Ended() {
        int raw = 0;
        if (exit_.status == -1 && exit_.signal == 0 && ::waitpid(id_, &raw, WNOHANG) == id_)
            exit_ = WIFEXITED(raw) ? Exit{WEXITSTATUS(raw), 0} : Exit{-1, WTERMSIG(raw)};
        return exit_.status != -1 || exit_.signal != 0;
    }

    void Start(const Options& options, const std::function<int()>& body);

    pid_t id_ = -1;
    int output_ = -1;
#endif
    Exit exit_;
};

#ifdef _WIN32
inline Child::Child(const std::string& program, const std::vector<std::wstring>& args,
                    const Options& options) {
    std::wstring line = QuoteArgument(Wide(program));
    for (const auto& a : args)
        line += L" " + QuoteArgument(a);
    // Its standard handles are this process's own unless chosen; those opened here are closed
    // once it has them.
    std::array<HANDLE, 3> standard = {::GetStdHandle(STD_INPUT_HANDLE),
                                      ::GetStdHandle(STD_OUTPUT_HANDLE),
                                      ::GetStdHandle(STD_ERROR_HANDLE)};
    std::vector<HANDLE> opened;
    for (const auto& [fd, stream] : options.streams) {
        if ((standard.at(static_cast<std::size_t>(fd)) = Open(stream)))
            opened.push_back(standard[static_cast<std::size_t>(fd)]);
    }
    const bool handles = !options.streams.empty();
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = options.console ? sizeof startup : sizeof startup.StartupInfo;
    if (handles) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = standard[0];
        startup.StartupInfo.hStdOutput = standard[1];
        startup.StartupInfo.hStdError = standard[2];
    }
    // With no handles of its own and no console it writes nowhere: no window either.
    DWORD flags = handles ? 0 : CREATE_NO_WINDOW;
    std::vector<char> list;
    if (options.console) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        list.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
        ::InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size);
        HPCON console = options.console->Handle();
        ::UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE,
                                    console, sizeof console, nullptr, nullptr);
        flags = EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, handles, flags,
                                          nullptr, nullptr, &startup.StartupInfo, &info);
    const DWORD error = ::GetLastError();
    if (options.console)
        ::DeleteProcThreadAttributeList(startup.lpAttributeList);
    for (const HANDLE h : opened)
        ::CloseHandle(h);
    if (!started)
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}
#else
inline Child::Child(const std::string& program, const std::vector<std::string>& args,
                    const Options& options) {
    // Everything the child needs is made before the fork: between fork and exec the child of a
    // process with threads may only make async-signal-safe calls.
    std::vector<std::string> argv = {program}, environment = options.environment;
    argv.insert(argv.end(), args.begin(), args.end());
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
        if (std::ranges::none_of(options.environment,
                                 [&](const std::string& set) { return set.starts_with(name); }))
            environment.push_back(entry);
    }
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& s : strings)
            p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    const std::vector<char*> argp = pointers(argv), envp = pointers(environment);
    Start(options, [&] {
        ::execvpe(argp[0], argp.data(), envp.data()); // a name without "/" is looked up in PATH
        return 127;
    });
}

inline void Child::Start(const Options& options, const std::function<int()>& body) {
    int pipe[2] = {-1, -1};
    for (const auto& [fd, stream] : options.streams) {
        if (stream.kind == Stream::Kind::Pipe && ::pipe2(pipe, O_CLOEXEC) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe");
    }
    id_ = ::fork();
    if (id_ < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (id_ > 0) {
        if (pipe[1] >= 0)
            ::close(pipe[1]);
        output_ = pipe[0];
        return;
    }
    // The child starts as a program started from a shell does, whatever this process ignores,
    // blocks or catches.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s = 1; s < NSIG; ++s)
        ::signal(s, SIG_DFL);
    for (const auto& [fd, stream] : options.streams) {
        const Stream::Kind kind = stream.kind;
        const int flags = kind == Stream::Kind::Read     ? O_RDONLY
                          : kind == Stream::Kind::Write  ? O_WRONLY | O_CREAT | O_TRUNC
                          : kind == Stream::Kind::Update ? O_RDWR
                                                         : O_WRONLY | O_CREAT | O_APPEND;
        const int from = kind == Stream::Kind::Closed ? fd
                         : kind == Stream::Kind::Pipe ? pipe[1]
                                                      : ::open(stream.path.c_str(), flags, 0600);
        if (from < 0 || (from != fd && ::dup2(from, fd) < 0))
            ::_exit(127);
        if (from != fd || kind == Stream::Kind::Closed)
            ::close(from);
    }
    if (pipe[0] >= 0)
        ::close(pipe[0]);
    try {
        ::_exit(body());
    } catch (...) {
        ::_exit(126); // and never back into the test's own code
    }
}
#endif

// Runs a program and waits for its end, within bound.
inline Exit Run(const std::string& program, const std::vector<std::string>& args,
                const Options& options = {},
                std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    return Child(program, args, options).Wait(bound);
}

} // namespace qvn::test
