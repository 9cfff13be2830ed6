// How qvn-build --check-links writes what it found: on standard output the lines of --check, or
// JSON Lines for scripts; on a terminal's standard error, a line of progress while it checks.
#pragma once

#include "Findings.h"
#include "LinkCheck.h"

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

namespace qvn::cli {

// The findings in one form, in the order they are given, and their count.
class LinkReport {
public:
    // json: JSON Lines (--format json); otherwise the text of --check.
    LinkReport(std::ostream& out, bool json) : out_(out), json_(json) {}

    // The finding for line `line` of file, whose URL as listed is url.
    void Add(const std::string& file, long long line, const std::string& url,
             const linkcheck::Outcome& outcome);
    // The count: in text only when something was found; in JSON always, the last line, with the
    // number of distinct URLs whose verdict is known.
    void End(std::size_t checked);
    const Counts& Tally() const { return counts_; }

private:
    std::ostream& out_;
    bool json_;
    Counts counts_;
};

// One line of progress on a terminal, "確認 120 / 10000 件: エラー 2 件、警告 0 件、注記 1 件。",
// in the summary's own wording (by distinct URL so far): shown once the check has run for a second,
// redrawn at most ten times a second, and removed by Clear, which leaves the cursor where the line
// began.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(std::size_t known, std::size_t total, const Counts& found);
    void Clear();

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    Clock::time_point start_;
    Clock::time_point drawn_{}; // the last redraw
    std::size_t width_ = 0;     // in columns, of the line shown; 0 while none is
    std::string last_;
};

} // namespace qvn::cli
