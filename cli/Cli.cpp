#include "Cli.h"

#include "Errors.h"
#include "StringList.h"
#include "UInCSV.h"
#include "UProccess.h"

#include <map>
#include <optional>
#include <ostream>

namespace qvn::cli {
namespace {

constexpr const char* kUsage =
    "usage: qvn-build --data DATA --template TEMPLATE --output PAGE\n"
    "                 [--title T] [--url U] [--author A] [--explain E]\n";

constexpr const char* kHelp =
    "Builds a links page: the template's frame once for every site in the data file.\n"
    "\n"
    "  --data DATA          link data: one site a line, \"name,URL,administrator,description\"\n"
    "  --template TEMPLATE  HTML template with the marker lines _HEAD_, _FRAME_ and _FOOT_\n"
    "  --output PAGE        the page to write (replaced atomically); \"-\" for standard output\n"
    "  --title T            token replaced by the site name      (default _TITLE_)\n"
    "  --url U              token replaced by the URL            (default _URL_)\n"
    "  --author A           token replaced by the administrator  (default _AUTHOR_)\n"
    "  --explain E          token replaced by the description    (default _EXPLAIN_)\n"
    "  --help, --version\n"
    "\n"
    "Files are read and written as bytes: a code page 932 template takes code page 932 data,\n"
    "a UTF-8 template UTF-8 data. Tokens are used byte for byte; an empty token never matches.\n"
    "Exit status: 0 success, 1 the build failed, 2 wrong usage.\n";

struct Options {
    std::map<std::string, std::string> values; // option name without "--" -> value
};

// Parses "--name value" and "--name=value". Returns nullopt (after saying why) on wrong usage.
std::optional<Options> Parse(const std::vector<std::string>& args, std::ostream& err) {
    static const char* const known[] = {"data", "template", "output", "title",
                                        "url",  "author",   "explain"};
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            err << "qvn-build: unexpected argument '" << arg << "'\n";
            return std::nullopt;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        bool isKnown = false;
        for (const char* k : known)
            isKnown = isKnown || name == k;
        if (!isKnown) {
            err << "qvn-build: unknown option '--" << name << "'\n";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                err << "qvn-build: option '--" << name << "' needs a value\n";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!o.values.emplace(name, *value).second) {
            err << "qvn-build: option '--" << name << "' given twice\n";
            return std::nullopt;
        }
    }
    for (const char* required : {"data", "template", "output"}) {
        if (!o.values.contains(required)) {
            err << "qvn-build: missing --" << required << "\n";
            return std::nullopt;
        }
    }
    return o;
}

int Build(const Options& o, std::ostream& out) {
    Tokens tokens;
    const auto token = [&](const char* name, std::string& field) {
        if (const auto it = o.values.find(name); it != o.values.end())
            field = it->second;
    };
    token("title", tokens.Title);
    token("url", tokens.URL);
    token("author", tokens.Author);
    token("explain", tokens.Explain);

    TStringList links;
    ReadCSV(links, FilePath::FromNative(o.values.at("data")), 4);
    // The page goes out as it is built, never held whole: a million sites need no more memory
    // than their data file.
    const FilePath templ = FilePath::FromNative(o.values.at("template"));
    const std::string& output = o.values.at("output");
    if (output == "-")
        MakePageToStream(templ, links, tokens, out);
    else
        MakePageToFile(templ, links, tokens, FilePath::FromNative(output));
    return 0;
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help") {
            out << kUsage << "\n" << kHelp;
            return 0;
        }
        if (arg == "--version") {
            out << "qvn-build " QVN_VERSION "\n";
            return 0;
        }
    }
    const auto options = Parse(args, err);
    if (!options) {
        err << kUsage << "Try 'qvn-build --help' for more.\n";
        return 2;
    }
    try {
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
