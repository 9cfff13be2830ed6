#include "StringList.h"

#include "Errors.h"
#include "FileIO.h"

#include <cstring>
#include <ostream>

namespace qvn {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

// Splits bytes into lines in place: each line is moved down over the breaks before it and its end
// recorded, so the text needs no second buffer. A NUL byte ends the text; CR, LF and CR LF each
// end one line; a break at the very end adds no empty line.
void SplitLines(std::string& bytes, std::vector<std::size_t>& ends) {
    char* const data = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t read = 0;
    std::size_t write = 0;
    while (read < size && data[read] != '\0') {
        std::size_t end = read;
        while (end < size && data[end] != '\r' && data[end] != '\n' && data[end] != '\0')
            ++end;
        const std::size_t length = end - read;
        if (write != read)
            std::memmove(data + write, data + read, length);
        write += length;
        ends.push_back(write);
        if (end < size && data[end] == '\r') {
            ++end;
            if (end < size && data[end] == '\n')
                ++end;
        } else if (end < size && data[end] == '\n') {
            ++end;
        } // a NUL is not stepped over: it stops the loop
        read = end;
    }
    bytes.resize(write);
}

// Produces the file image of the list (every item followed by CR LF) in chunks of about 1 MiB,
// so a page of any size is written with few system calls and no second copy of itself.
template <typename Sink>
void EmitLines(const std::string& data, const std::vector<std::size_t>& ends, Sink&& sink) {
    std::string chunk;
    chunk.reserve(kWriteChunk + kCrLf.size());
    std::size_t begin = 0;
    for (std::size_t end : ends) {
        const std::string_view item(data.data() + begin, end - begin);
        begin = end;
        if (item.size() >= kWriteChunk) { // a huge line goes out directly
            if (!chunk.empty())
                sink(std::string_view(chunk)), chunk.clear();
            sink(item);
            sink(kCrLf);
            continue;
        }
        if (chunk.size() + item.size() + kCrLf.size() > kWriteChunk)
            sink(std::string_view(chunk)), chunk.clear();
        chunk.append(item).append(kCrLf);
    }
    if (!chunk.empty())
        sink(std::string_view(chunk));
}

} // namespace

int TStringList::Add(std::string_view s) {
    const int index = Count();
    data_.append(s);
    ends_.push_back(data_.size());
    return index;
}

std::string_view TStringList::Get(int index) const {
    if (index < 0 || index >= Count())
        throw ListIndexError(index);
    const auto i = static_cast<std::size_t>(index);
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(data_).substr(begin, ends_[i] - begin);
}

void TStringList::Clear() {
    data_.clear();
    ends_.clear();
}

void TStringList::Reserve(std::size_t items, std::size_t bytes) {
    ends_.reserve(items);
    data_.reserve(bytes);
}

void TStringList::LoadFromFile(const FilePath& path) {
    std::string bytes = ReadWholeFile(path); // throws before anything changes
    std::vector<std::size_t> ends;
    SplitLines(bytes, ends);
    data_ = std::move(bytes);
    ends_ = std::move(ends);
}

void TStringList::SaveToFile(const FilePath& path) const {
    ReplaceFile(path, [this](const ByteSink& sink) { EmitLines(data_, ends_, sink); });
}

void TStringList::WriteTo(std::ostream& out) const {
    EmitLines(data_, ends_, [&out](std::string_view bytes) {
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw WriteError();
    });
    if (!out.flush())
        throw WriteError();
}

std::string TStringList::Text() const {
    std::string text;
    text.reserve(data_.size() + ends_.size() * kCrLf.size());
    EmitLines(data_, ends_, [&text](std::string_view bytes) { text.append(bytes); });
    return text;
}

} // namespace qvn
