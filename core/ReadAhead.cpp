#include "ReadAhead.h"

namespace qvn {
namespace {

constexpr std::size_t kBatchRecords = 4096;

} // namespace

ReadAheadLinks::ReadAheadLinks(LinkSource& source) : source_(source), thread_([this] { Run(); }) {}

ReadAheadLinks::~ReadAheadLinks() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool ReadAheadLinks::Next(TLinkRecord& record) {
    while (field_ == current_.ends.size()) {
        if (current_.last) {
            if (current_.error)
                std::rethrow_exception(current_.error);
            return false;
        }
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return full_; });
        std::swap(current_, ready_); // the used batch goes back to be filled again
        full_ = false;
        field_ = 0;
        wake_.notify_all();
    }
    std::size_t begin = field_ == 0 ? 0 : current_.ends[field_ - 1];
    for (std::string_view& field : record) {
        const std::size_t end = current_.ends[field_++];
        field = std::string_view(current_.bytes).substr(begin, end - begin);
        begin = end;
    }
    return true;
}

void ReadAheadLinks::Run() {
    Batch batch;
    for (;;) {
        batch.bytes.clear();
        batch.ends.clear();
        try {
            TLinkRecord record;
            while (batch.ends.size() < kBatchRecords * kLinkFields && !batch.last) {
                if (!source_.Next(record)) {
                    batch.last = true;
                    break;
                }
                for (const std::string_view field : record) {
                    batch.bytes.append(field);
                    batch.ends.push_back(batch.bytes.size());
                }
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
        wake_.notify_all();
        if (ready_.last)
            return;
    }
}

} // namespace qvn
