#include "Cli.h"

#include "Check.h"
#include "Errors.h"
#include "Links.h"
#include "UInCSV.h"
#include "UProccess.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>

namespace qvn::cli {
namespace {

constexpr const char* kUsage =
    "usage: qvn-build --data DATA --template TEMPLATE --output PAGE\n"
    "                 [--title T] [--url U] [--author A] [--explain E]\n";

// The second form, after "usage: " alone or under the first.
constexpr const char* kCheckForm =
    "qvn-build --check --data DATA --template TEMPLATE\n"
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
    "  --check              write no page: read both files as a build would and report, as\n"
    "                       FILE:LINE[:COLUMN], what would make the build fail (エラー) and what\n"
    "                       it would do that is probably not meant (警告), then a count and\n"
    "                       whether the build will succeed\n"
    "  --help, --version\n"
    "\n"
    "Files are read and written as bytes: a code page 932 template takes code page 932 data,\n"
    "a UTF-8 template UTF-8 data. Tokens are used byte for byte; an empty token never matches.\n"
    "Exit status: 0 success, 1 the build failed, 2 wrong usage. With --check: 0 no error\n"
    "(warnings allowed), 1 an error, 2 wrong usage; nothing is printed when all is well.\n"
    "\n"
    "Example:\n"
    "  $ qvn-build --check --data links.csv --template template.html\n"
    "  links.csv:2: 警告: カンマが 2 つしかありません。「管理者」は空になり、2 "
    "つめのカンマより後ろが「サイト説明」になります。サイト名,URL,管理者,サイト説明 の 4 "
    "項目にしてください。\n"
    "  template.html:7: エラー: _FOOT_ の区切りになりません (行末に空白があります)。_FRAME_ "
    "の後ろに区切り行 _FOOT_ がありません。ビルドは「リストのインデックスが範囲を超えています "
    "(9)」で止まります。この行を _FOOT_ だけの行に直してください。\n"
    "  エラー 1 件、警告 1 件。このままではビルドは失敗します。\n";

constexpr const char* kFileOptions[] = {"data", "template", "output"};

struct Options {
    bool help = false;                         // --help came first of --help and --version
    bool version = false;                      // --version came first
    bool check = false;                        // --check: report on the inputs, build nothing
    std::map<std::string, std::string> values; // option name without "--" -> value
};

bool IsKnown(const std::string& name) {
    return std::ranges::find(kFileOptions, name) != std::end(kFileOptions) ||
           std::ranges::find(check::kTokenOptions, name) != std::end(check::kTokenOptions);
}

// Parses "--name value" and "--name=value". A value is taken as it stands, whatever it looks
// like; "--help" and "--version" count only in the place of an option, and win over any mistake
// in the others. Returns nullopt (after saying why) on wrong usage.
std::optional<Options> Parse(const std::vector<std::string>& args, std::ostream& err) {
    Options o;
    std::string mistake; // the first one, said unless help or version is asked for
    const auto note = [&mistake](std::string text) {
        if (mistake.empty())
            mistake = std::move(text);
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "--version") {
            if (!o.help && !o.version)
                (arg == "--help" ? o.help : o.version) = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            note("unexpected argument '" + arg + "'");
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "check") {
            if (value)
                note("option '--check' takes no value");
            else if (o.check)
                note("option '--check' given twice");
            o.check = true;
            continue;
        }
        if (!IsKnown(name)) {
            note("unknown option '--" + name + "'");
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                note("option '--" + name + "' needs a value");
                continue;
            }
            value = args[++i];
        }
        if (!o.values.emplace(name, *value).second)
            note("option '--" + name + "' given twice");
    }
    if (o.help || o.version)
        return o;
    for (const char* required : kFileOptions) {
        if (o.check && std::string_view(required) == "output") {
            if (o.values.contains(required))
                note("option '--output' does not go with --check: it writes no page");
        } else if (!o.values.contains(required)) {
            note(std::string("missing --") + required);
        }
    }
    if (!mistake.empty()) {
        err << "qvn-build: " << mistake << "\n";
        if (o.check)
            err << "usage: " << kCheckForm;
        else
            err << kUsage;
        return std::nullopt;
    }
    return o;
}

// The tokens in force: the defaults, each replaced by its option where given.
Tokens TokensOf(const Options& o) {
    Tokens tokens = DefaultTokens();
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (const auto it = o.values.find(std::string(check::kTokenOptions[k])); it != o.values.end())
            tokens[k] = it->second;
    }
    return tokens;
}

int Build(const Options& o, std::ostream& out) {
    const Tokens tokens = TokensOf(o);
    // The inputs are opened in this order, so that of several bad ones the data file is named
    // first. The data is read record by record as the page is written, never held whole.
    LinkReader links(FilePath::FromNative(o.values.at("data")));
    const TPageTemplate templ(FilePath::FromNative(o.values.at("template")));
    const std::string& output = o.values.at("output");
    if (output == "-")
        WritePage(templ, links, tokens, out);
    else
        SavePage(templ, links, tokens, FilePath::FromNative(output));
    return 0;
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto options = Parse(args, err);
    if (!options) {
        err << "Try 'qvn-build --help' for more.\n";
        return 2;
    }
    if (options->help) {
        out << kUsage << "       " << kCheckForm << "\n" << kHelp;
        return 0;
    }
    if (options->version) {
        out << "qvn-build " QVN_VERSION "\n";
        return 0;
    }
    try {
        if (options->check)
            return check::Check(options->values.at("data"), options->values.at("template"),
                         TokensOf(*options), out);
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
