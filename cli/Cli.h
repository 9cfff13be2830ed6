// qvn-build's command line, as a function the tests call in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qvn::cli {

// Runs qvn-build with args (without the program name). Writes the page to a file, or to out for
// "--output -"; usage, help and failures go to err (help and version to out). errIsTerminal: err
// is a terminal, where a long link check shows its progress. Returns the exit status: 0 success,
// 1 a failed build, 2 wrong usage.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal = false);

} // namespace qvn::cli
