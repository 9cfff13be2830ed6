// The lines of a file read and cut on a second thread, a batch at a time, while the batch before
// is checked: the check's scan of every byte then runs beside the reading instead of after it, and
// work that needs nothing but the lines can run on the reading thread itself.
#pragma once

#include "Lines.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qvn::check {

class LinesAhead {
public:
    // Starts reading lines from reader on the second thread; from then on only that thread touches
    // the reader and its source, until Next has returned false. `ahead`, when given, is called with
    // each line on that thread before Next hands the line out; what it writes may be looked at on
    // this side once Next has returned false or thrown.
    explicit LinesAhead(LineReader& reader, std::function<void(std::string_view)> ahead = nullptr);
    // Stops the reading wherever it is.
    ~LinesAhead();
    LinesAhead(const LinesAhead&) = delete;
    LinesAhead& operator=(const LinesAhead&) = delete;

    // The reader's lines in order, each valid until the next call that returns true; false after
    // the last, when the reader and its source may be looked at again. A failure of the reading is
    // thrown here, where the line it stopped would have come.
    bool Next(std::string_view& line);

private:
    // Lines copied out of the reader: the bytes of all of them, and where each one ends.
    struct Batch {
        std::string bytes;
        std::vector<std::size_t> ends;
        bool last = false;        // the reader has no more lines after these
        std::exception_ptr error; // and failed after them
    };

    void Run();

    LineReader& reader_;
    std::function<void(std::string_view)> ahead_;
    Batch current_;        // the batch lines are taken from (this side only)
    std::size_t next_ = 0; // the next line's index in current_
    std::mutex mutex_;
    std::condition_variable wake_;
    Batch ready_;        // the batch read next
    bool full_ = false;  // ready_ holds it
    bool stop_ = false;  // end now
    std::thread thread_; // last: starts once everything above is in place
};

} // namespace qvn::check
