#include "LinesAhead.h"

#include <utility>

namespace qvn::check {
namespace {

// Bytes and lines a batch holds before it is handed over (a longer line makes a longer batch): few
// hand-overs, and little memory beside the reader's own buffer, however short the lines (each
// line costs its end's place too, so a file of empty lines is bounded by the count).
constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
constexpr std::size_t kBatchLines = std::size_t{16} << 10;

} // namespace

LinesAhead::LinesAhead(LineReader& reader, std::function<void(std::string_view)> ahead)
    : reader_(reader), ahead_(std::move(ahead)), thread_([this] { Run(); }) {}

LinesAhead::~LinesAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool LinesAhead::Next(std::string_view& line) {
    while (next_ == current_.ends.size()) {
        if (current_.last) {
            if (current_.error)
                std::rethrow_exception(current_.error);
            return false;
        }
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return full_; });
        if (ready_.ends.empty() && ready_.last) { // nothing more: the last line stays valid
            current_.last = true;
            current_.error = ready_.error;
        } else {
            std::swap(current_, ready_); // the used batch goes back to be filled again
            next_ = 0;
        }
        full_ = false;
        lock.unlock();
        wake_.notify_all();
    }
    const std::size_t begin = next_ == 0 ? 0 : current_.ends[next_ - 1];
    line = std::string_view(current_.bytes).substr(begin, current_.ends[next_] - begin);
    ++next_;
    return true;
}

void LinesAhead::Run() {
    // Line by line only locals are touched: the members Next writes for every line share cache
    // lines with reader_ and ahead_, and reading those here would bounce the lines between cores.
    LineReader& reader = reader_;
    const std::function<void(std::string_view)> ahead = std::move(ahead_);
    Batch batch;
    for (;;) {
        batch.bytes.clear();
        batch.ends.clear();
        try {
            std::string_view line;
            while (batch.bytes.size() < kBatchBytes && batch.ends.size() < kBatchLines) {
                if (!reader.Next(line)) {
                    batch.last = true;
                    break;
                }
                if (ahead)
                    ahead(line);
                batch.bytes.append(line);
                batch.ends.push_back(batch.bytes.size());
            }
        } catch (...) {
            batch.error = std::current_exception();
            batch.last = true;
        }
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return !full_ || stop_; });
        if (stop_)
            return;
        std::swap(ready_, batch);
        full_ = true;
        const bool last = ready_.last;
        lock.unlock();
        wake_.notify_all();
        if (last)
            return;
    }
}

} // namespace qvn::check
