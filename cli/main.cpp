// qvn-build's entry: the command line as a list of strings, handed to cli::run.
#include "Cli.h"
#include "FileIO.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // A page past the file size limit (ulimit -f) fails with the write message, and the old page
    // stays, instead of the process being killed with its temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    qvn::RemoveTemporaryFilesOnInterrupt();
    std::ios::sync_with_stdio(false);
    return qvn::cli::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
