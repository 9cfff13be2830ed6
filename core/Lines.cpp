#include "Lines.h"

#include <algorithm>
#include <cstring>

namespace qvn {

bool LineReader::Fill() {
    if (sourceDone_)
        return false;
    if (end_ == size_) {
        if (pos_ == 0) { // a line as long as the buffer: grow it
            const std::size_t size = size_ == 0 ? kBlock : size_ * 2;
            auto grown = std::make_unique_for_overwrite<char[]>(size);
            std::copy_n(buffer_.get(), end_, grown.get());
            buffer_ = std::move(grown);
            size_ = size;
        } else { // room at the front: move the unread part there
            std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
            end_ -= pos_;
            pos_ = 0;
        }
    }
    const std::size_t n = source_.Read(buffer_.get() + end_, size_ - end_);
    if (n == 0) {
        sourceDone_ = true;
        return false;
    }
    end_ += n;
    return true;
}

bool LineReader::Next(std::string_view& line) {
    if (textDone_)
        return false;
    if (afterCr_ && (pos_ < end_ || Fill()) && buffer_[pos_] == '\n')
        ++pos_;
    if ((pos_ == end_ && !Fill()) || buffer_[pos_] == '\0') {
        textDone_ = true; // nothing after a NUL byte is ever read
        return false;
    }

    // The line runs to the next break; reading more moves it, so it is measured from pos_.
    std::size_t length = 0;
    for (;;) {
        const std::size_t end = LineEnd(buffer_.get(), pos_ + length, end_);
        length = end - pos_;
        if (end < end_ || !Fill())
            break; // a break, or the last line without one
    }
    line = std::string_view(buffer_.get() + pos_, length);

    pos_ += length;
    afterCr_ = pos_ < end_ && buffer_[pos_] == '\r';
    if (pos_ < end_ && buffer_[pos_] != '\0') // a NUL is not stepped over: it ends the text
        ++pos_;
    return true;
}

} // namespace qvn
