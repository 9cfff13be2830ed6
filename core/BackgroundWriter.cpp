// The writer thread behind a save: blocks handed over by the maker are written in order, and the
// first failed write, with its reason, goes back to the maker.
#include "BackgroundWriter.h"

#include "Errors.h"

namespace qvn {

BackgroundWriter::BackgroundWriter(std::function<void(std::string_view)> write)
    : write_(std::move(write)), thread_([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void BackgroundWriter::Write(std::string& block) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !waiting_ || failed_; });
    if (failed_)
        std::rethrow_exception(error_);
    next_.swap(block);
    waiting_ = true;
    wake_.notify_all();
}

void BackgroundWriter::Finish() {
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (failed_)
        std::rethrow_exception(error_);
}

void BackgroundWriter::Run() {
    std::string block;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || finishing_ || stop_; });
        if (!waiting_ || stop_)
            return; // all written, or given up
        block.swap(next_);
        waiting_ = false;
        wake_.notify_all();
        lock.unlock();
        try {
            write_(block);
        } catch (const WriteError&) {
            lock.lock();
            error_ = std::current_exception();
            failed_ = true;
            wake_.notify_all();
            return;
        }
        block.clear();
        lock.lock();
    }
}

} // namespace qvn
