#include "Cli.h"

#include "Check.h"
#include "CheckLinks.h"
#include "Errors.h"
#include "FileIO.h"
#include "Findings.h"
#include "Links.h"
#include "Options.h"
#include "PageBuild.h"

#include <cerrno>
#include <ostream>

namespace qvn::cli {
namespace {

// The tokens in force: the defaults, each replaced by its option where given.
Tokens TokensOf(const Options& o) {
    Tokens tokens = DefaultTokens();
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (const auto it = o.values.find(std::string(kTokenOptions[k])); it != o.values.end())
            tokens[k] = it->second;
    }
    return tokens;
}

// The tokens as the check names them: by their options.
check::TokenNames OptionNames() {
    check::TokenNames names;
    for (std::size_t k = 0; k < kLinkFields; ++k)
        names[k] = "--" + std::string(kTokenOptions[k]);
    return names;
}

int Build(const Options& o, std::ostream& out) {
    PageBuild build(FilePath::FromNative(o.values.at("data")),
                    FilePath::FromNative(o.values.at("template")), TokensOf(o));
    if (const std::string& output = o.values.at("output"); output == "-")
        build.Write(out);
    else
        build.Save(FilePath::FromNative(output));
    return 0;
}

// Prints the findings and their summary; nothing at all when there is nothing to report.
int Check(const Options& o, std::ostream& out) {
    const Findings findings = check::CheckInputs({o.values.at("data")}, {o.values.at("template")},
                                                 TokensOf(o), OptionNames());
    for (const Finding& finding : findings.list)
        Print(out, finding);
    if (findings.counts.Total() > 0)
        out << check::CheckSummary(findings.counts) << "\n";
    if (!out.flush())
        throw WriteError();
    return findings.counts.errors > 0 ? 1 : 0;
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    const auto options = Parse(args, err);
    if (!options) {
        err << "Try 'qvn-build --help' for more.\n";
        return 2;
    }
    if (options->help || options->version) {
        errno = 0;
        if (options->help)
            PrintHelp(out);
        else
            out << "qvn-build " QVN_VERSION "\n";
        // Text that did not reach its reader (a full disk, a closed output) is a failure.
        if (out.flush())
            return 0;
        const std::string reason = errno != 0 ? SystemReason(errno) : "";
        err << "qvn-build: " << ErrorBoxText(WriteError(reason)) << "\n";
        return 1;
    }
    try {
        if (options->mode == Mode::CheckLinks)
            return CheckLinks(*options, out, err, errIsTerminal);
        if (options->mode == Mode::Check)
            return Check(*options, out);
        return Build(*options, out);
    } catch (const Error& e) {
        err << "qvn-build: " << ErrorBoxText(e) << "\n";
    } catch (const std::bad_alloc&) {
        err << "qvn-build: out of memory\n";
    } catch (const std::exception& e) {
        err << "qvn-build: " << e.what() << "\n";
    }
    return 1;
}

} // namespace qvn::cli
