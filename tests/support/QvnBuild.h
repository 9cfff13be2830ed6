// qvn-build's command line run in the test's own process, as the command-line tests run it: its
// exit status and what it wrote on standard output and on standard error.
#pragma once

#include "Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace qvn::test {

struct Result {
    int status;
    std::string out;
    std::string err;
};

inline Result QvnBuild(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = qvn::cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace qvn::test
