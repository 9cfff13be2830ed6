// qvn-build --check-links: the link check of a data file, printed as --check prints its findings.
#pragma once

#include "Options.h"

#include <iosfwd>

namespace qvn::cli {

// Checks the URL of every line of the data file and prints one line (or JSON object) for each link
// that is not healthy, then a count; with --fix-moved writes the data file again with the moved
// sites' new URLs. A check of over a second shows its progress on err when errIsTerminal. Returns
// 0 when no link is dead, 1 when one is or the data file could not be written, 130 when
// interrupted (after printing what was found so far). Throws when the data or the history cannot
// be read.
int CheckLinks(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal);

} // namespace qvn::cli
