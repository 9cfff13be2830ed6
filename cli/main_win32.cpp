// qvn-build's entry on Windows: the UTF-16 command line handed to cli::run as UTF-8, the name
// form of the core here; the page written to standard output byte for byte; messages shown on a
// console as UTF-16, or written to a pipe or file as UTF-8.
#include "Cli.h"
#include "Codec.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <optional>
#include <sstream>
#include <windows.h>

// The C runtime would expand wildcards in the arguments: a token such as "*" stays as typed.
extern "C" {
int _dowildcard = 0;
}

namespace {

// Writes messages to standard error: to a console as UTF-16, whatever its code page, so that the
// Japanese text shows; to anything else as the UTF-8 bytes they are.
void WriteMessages(const std::string& utf8) {
    if (utf8.empty())
        return;
    const HANDLE h = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    DWORD done = 0;
    if (::GetConsoleMode(h, &mode)) {
        const int size = static_cast<int>(utf8.size());
        std::wstring text(static_cast<std::size_t>(size), L'\0'); // never more than the bytes
        text.resize(static_cast<std::size_t>(
            ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), size)));
        for (std::size_t at = 0; at < text.size(); at += done) {
            if (!::WriteConsoleW(h, text.data() + at, static_cast<DWORD>(text.size() - at), &done,
                                 nullptr) ||
                done == 0)
                return;
        }
        return;
    }
    for (std::size_t at = 0; at < utf8.size(); at += done) {
        if (!::WriteFile(h, utf8.data() + at, static_cast<DWORD>(utf8.size() - at), &done,
                         nullptr) ||
            done == 0)
            return;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // The page goes out as it is: no LF made CR LF on the way. (No standard output, no number.)
    if (const int out = _fileno(stdout); out >= 0)
        _setmode(out, _O_BINARY);
    std::ios::sync_with_stdio(false);

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        auto arg = qvn::Utf16ToUtf8(argv[i]); // nullopt for an unpaired surrogate
        if (!arg) {
            WriteMessages("qvn-build: argument " + std::to_string(i) +
                          " is not valid Unicode text\n");
            return 2;
        }
        args.push_back(std::move(*arg));
    }
    std::ostringstream messages;
    const int status = qvn::cli::run(args, std::cout, messages);
    WriteMessages(messages.str());
    return status;
}
