// qvn-build's entry: the command line as a list of strings, handed to cli::run.
#include "Cli.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    // A reader that stops early (qvn-build ... --output - | head) makes the write fail, which
    // ends in status 1 with its message, instead of the process being killed. The core's save
    // sets up its own clean-up for the other signals and the size limit.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    return qvn::cli::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                         ::isatty(STDERR_FILENO) == 1);
}
