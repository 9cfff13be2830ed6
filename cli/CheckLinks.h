// qvn-build --check-links: the link check of a data file, printed as --check prints its findings.
#pragma once

#include "Options.h"

#include <iosfwd>

namespace qvn::cli {

// Checks the URL of every line of the data file and prints one line for each link that is not
// healthy, then a count. Returns 0 when no link is dead, 1 when one is, 130 when interrupted
// (after printing what was found so far). Throws when the data or the history cannot be read.
int CheckLinks(const Options& options, std::ostream& out, std::ostream& err);

} // namespace qvn::cli
