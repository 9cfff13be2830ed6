#include "Cli.h"

#include "Check.h"
#include "CheckLinks.h"
#include "Errors.h"
#include "FileIO.h"
#include "FileIdentity.h"
#include "Links.h"
#include "Options.h"
#include "StringList.h"
#include "TokenText.h"
#include "UInCSV.h"
#include "UProccess.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>

namespace qvn::cli {
namespace {

// The tokens in force: the defaults, each replaced by its option where given.
Tokens TokensOf(const Options& o) {
    Tokens tokens = DefaultTokens();
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (const auto it = o.values.find(std::string(check::kTokenOptions[k]));
            it != o.values.end())
            tokens[k] = it->second;
    }
    return tokens;
}

// The tokens for --check: in the template's encoding, as a build takes them; as given when the
// template cannot be read, which the check reports.
Tokens CheckTokens(const Options& o) {
    TStringList lines;
    try {
        lines.LoadFromFile(FilePath::FromNative(o.values.at("template")));
    } catch (const FileError&) {
        return TokensOf(o);
    }
    return TokensForTemplate(TokensOf(o), JudgeEncoding(lines));
}

int Build(const Options& o, std::ostream& out) {
    // The inputs are opened in this order, so that of several bad ones the data file is named
    // first. The data is read record by record as the page is written, never held whole.
    const FilePath data = FilePath::FromNative(o.values.at("data"));
    const FilePath templPath = FilePath::FromNative(o.values.at("template"));
    LinkReader links(data);
    const TPageTemplate templ(templPath);
    const Tokens tokens = TokensForTemplate(TokensOf(o), templ.Encoding());
    const std::string& output = o.values.at("output");
    if (output == "-") {
        WritePage(templ, links, tokens, out);
    } else {
        const FilePath page = FilePath::FromNative(output);
        RefuseInputAsOutput(page, &data, templPath);
        SavePage(templ, links, tokens, page);
    }
    return 0;
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
        err << "qvn-build: " << ErrorBoxTextUtf8(WriteError(reason)) << "\n";
        return 1;
    }
    try {
        if (options->mode == Mode::CheckLinks)
            return CheckLinks(*options, out, err);
        if (options->mode == Mode::Check)
            return check::Check(options->values.at("data"), options->values.at("template"),
                                CheckTokens(*options), out);
        return Build(*options, out);
    } catch (const Error& e) {
        err << "qvn-build: " << ErrorBoxTextUtf8(e) << "\n";
    } catch (const std::bad_alloc&) {
        err << "qvn-build: out of memory\n";
    } catch (const std::exception& e) {
        err << "qvn-build: " << e.what() << "\n";
    }
    return 1;
}

} // namespace qvn::cli
