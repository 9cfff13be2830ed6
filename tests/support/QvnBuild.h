// qvn-build's command line run in the test's own process, as the command-line tests run it: its
// exit status and what it wrote on standard output and on standard error; and the check of its
// line for a file it could not open or create.
#pragma once

#include "Cli.h"
#include "FileIO.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
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

// qvn-build's line for a file that could not be opened or created for the system's reason error,
// the fixed part being "qvn-build: ファイル NAME を作成できません." or the like. On Windows the
// reason is the system's own wording of its own error code: only its place is checked.
inline void ExpectFileFailure(const std::string& err, const std::string& fixed, int error) {
#ifdef _WIN32
    (void)error;
    EXPECT_THAT(err, ::testing::StartsWith(fixed + " ("));
    EXPECT_THAT(err, ::testing::EndsWith(")\n"));
#else
    EXPECT_EQ(err, fixed + " (" + qvn::SystemReason(error) + ")\n");
#endif
}

} // namespace qvn::test
