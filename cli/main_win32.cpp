// qvn-build's entry on Windows: the UTF-16 command line handed to cli::run as UTF-8, the name
// form of the core here. On a console, standard output and standard error show their text as
// Unicode, whatever the console's code page; redirected to a file or a pipe, both carry the bytes
// as they are: UTF-8 for the messages, help and check report, the page byte for byte.
#include "Cli.h"
#include "Codec.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <windows.h>

// The C runtime would expand wildcards in the arguments: a token such as "*" stays as typed.
extern "C" {
int _dowildcard = 0;
}

namespace {

// Whether bytes, shorter than the sequence their first byte announces, are the start of a valid
// UTF-8 sequence: what a write cut in the middle of a character leaves at its end. Only the second
// byte's range depends on the lead, and one of 0x80 and 0xA0 fits every lead's range.
bool StartsUtf8Sequence(std::string_view bytes) {
    if (bytes.empty())
        return false;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length <= bytes.size())
        return false;
    for (const char pad : {'\x80', '\xA0'}) {
        const std::string whole = std::string(bytes) + std::string(length - bytes.size(), pad);
        if (qvn::FirstInvalidUtf8(whole) == std::string_view::npos)
            return true;
    }
    return false;
}

// A stream buffer over a standard handle. To a console, text that is UTF-8 goes through the
// console's Unicode interface, so Japanese shows without "chcp"; from the first byte that is not
// UTF-8 on (a code page 932 page written with "--output -"), the rest goes as bytes, which the
// console shows in its own code page, as the page's author would see it with "type". To a file
// or a pipe, every byte goes as it is. A failed write fails the stream, as a full disk does.
class HandleBuffer : public std::streambuf {
public:
    explicit HandleBuffer(HANDLE handle) : handle_(handle) {
        DWORD mode = 0;
        console_ = handle_ && ::GetConsoleMode(handle_, &mode);
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    HandleBuffer(const HandleBuffer&) = delete;
    HandleBuffer& operator=(const HandleBuffer&) = delete;
    ~HandleBuffer() override { Finish(); }

    bool IsConsole() const { return console_; }

    // Writes what is pending, a cut-off character at the end included.
    bool Finish() {
        const bool ok = sync() == 0;
        if (held_.empty())
            return ok;
        const std::string rest = std::exchange(held_, {});
        return WriteBytes(rest) && ok;
    }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        if (pending.empty())
            return 0;
        if (!console_ || bytes_)
            return WriteBytes(pending) ? 0 : -1;
        // A character cut off at the end of the last write is completed by this one.
        std::string text = std::exchange(held_, {});
        text.append(pending);
        std::size_t valid = qvn::FirstInvalidUtf8(text);
        if (valid != std::string_view::npos &&
            StartsUtf8Sequence(std::string_view(text).substr(valid))) {
            held_ = text.substr(valid);
            text.resize(valid);
            valid = std::string_view::npos;
        }
        if (valid == std::string_view::npos)
            return WriteText(text) ? 0 : -1;
        bytes_ = true;
        return WriteText(text.substr(0, valid)) && WriteBytes(std::string_view(text).substr(valid))
                   ? 0
                   : -1;
    }

private:
    bool WriteText(std::string_view utf8) const {
        if (utf8.empty())
            return true;
        const auto wide = qvn::Utf8ToUtf16(utf8); // valid: the caller cut it so
        if (!wide)
            return false;
        DWORD done = 0;
        for (std::size_t at = 0; at < wide->size(); at += done) {
            if (!::WriteConsoleW(handle_, wide->data() + at, static_cast<DWORD>(wide->size() - at),
                                 &done, nullptr) ||
                done == 0)
                return false;
        }
        return true;
    }

    bool WriteBytes(std::string_view bytes) const {
        DWORD done = 0;
        for (std::size_t at = 0; at < bytes.size(); at += done) {
            if (!::WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at),
                             &done, nullptr) ||
                done == 0)
                return false;
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    bool bytes_ = false; // on a console, the text stopped being UTF-8
    std::string held_;   // on a console, the start of a character the next write completes
    std::array<char, 16384> buffer_{};
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    // The page goes out as it is: no LF made CR LF on the way. (No standard output, no number.)
    if (const int out = _fileno(stdout); out >= 0)
        _setmode(out, _O_BINARY);
    std::ios::sync_with_stdio(false);

    HandleBuffer errBuffer(::GetStdHandle(STD_ERROR_HANDLE));
    std::ostream err(&errBuffer);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        auto arg = qvn::Utf16ToUtf8(argv[i]); // nullopt for an unpaired surrogate
        if (!arg) {
            err << "qvn-build: argument " << i << " is not valid Unicode text\n";
            return 2;
        }
        args.push_back(std::move(*arg));
    }

    HandleBuffer consoleOut(::GetStdHandle(STD_OUTPUT_HANDLE));
    if (!consoleOut.IsConsole()) {
        const int status = qvn::cli::run(args, std::cout, err, errBuffer.IsConsole());
        errBuffer.Finish();
        return status;
    }
    std::ostream out(&consoleOut);
    const int status = qvn::cli::run(args, out, err, errBuffer.IsConsole());
    errBuffer.Finish();
    return status;
}
