#include "StringList.h"

#include "Errors.h"
#include "FileIO.h"
#include "Lines.h"

#include <climits>
#include <stdexcept>

namespace qvn {

int TStringList::Add(std::string_view s) {
    const int index = Count();
    if (index == INT_MAX)
        throw std::length_error("TStringList: too many items");
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

void TStringList::LoadFromFile(const FilePath& path) {
    InputFile file(path); // throws before anything changes
    // Nothing reserved from the file's size: a NUL may end the text long before it, and the lines
    // grow as they are read.
    TStringList lines;
    LineReader reader(file);
    for (std::string_view line; reader.Next(line);)
        lines.Add(line);
    *this = std::move(lines);
}

void TStringList::SaveToFile(const FilePath& path) const {
    ReplaceFile(path, [this](const ByteSink& sink) {
        CrLfWriter writer(sink);
        for (int i = 0; i < Count(); ++i)
            writer.Line(Get(i));
        writer.Flush();
    });
}

} // namespace qvn
