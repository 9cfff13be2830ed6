// Writes a file's blocks on a second thread, so that the next block is made while the last one is
// copied to the system.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace qvn {

// Three buffers go round: the one being filled, the one waiting and the one being written.
class BackgroundWriter {
public:
    // write(bytes) writes all of bytes, or throws WriteError; it runs on the writer's thread.
    explicit BackgroundWriter(std::function<void(std::string_view)> write);
    // Without Finish (the file is being given up), stops without writing what still waits.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the block's bytes and leaves it empty. The WriteError of an earlier write that failed.
    void Write(std::string& block);
    // Writes what is left and ends the thread. The WriteError of a write that failed.
    void Finish();

private:
    void Run();

    const std::function<void(std::string_view)> write_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string next_;       // the block waiting to be written
    bool waiting_ = false;   // next_ holds a block
    bool finishing_ = false; // no more blocks come: write what waits, then end
    bool stop_ = false;      // end now
    bool failed_ = false;    // a write failed: the thread has ended
    std::exception_ptr error_; // its WriteError, with the system's reason
    std::thread thread_;     // last: starts once everything above is in place
};

} // namespace qvn
