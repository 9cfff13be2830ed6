// Link records read on a second thread, a batch at a time, while the page is built from the
// batch before.
#pragma once

#include "Links.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvn {

class ReadAheadLinks final : public LinkSource {
public:
    // Starts reading source on the second thread; from then on only that thread touches it.
    explicit ReadAheadLinks(LinkSource& source);
    // Stops the reading wherever it is.
    ~ReadAheadLinks();
    ReadAheadLinks(const ReadAheadLinks&) = delete;
    ReadAheadLinks& operator=(const ReadAheadLinks&) = delete;

    // The source's records in order; a failure of the source is thrown here, where its record
    // would have come.
    bool Next(TLinkRecord& record) override;

private:
    // Records copied out of the source: each field's end in bytes, four a record.
    struct Batch {
        std::string bytes;
        std::vector<std::size_t> ends;
        bool last = false;        // the source has no more records after these
        std::exception_ptr error; // and failed after them
    };

    void Run();

    LinkSource& source_;
    Batch current_;         // the batch records are taken from (this side only)
    std::size_t field_ = 0; // the next record's first field in current_
    std::mutex mutex_;
    std::condition_variable wake_;
    Batch ready_;        // the batch read next
    bool full_ = false;  // ready_ holds it
    bool stop_ = false;  // end now
    std::thread thread_; // last: starts once everything above is in place
};

} // namespace qvn
