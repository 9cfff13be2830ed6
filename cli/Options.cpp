// qvn-build's option table, the parser it drives, and the usage and help texts made from it.
#include "Options.h"

#include "Check.h"
#include "Report.h"
#include "Url.h"

#include <algorithm>
#include <charconv>
#include <ostream>
#include <set>

namespace qvn::cli {
namespace {

constexpr unsigned Bit(Mode mode) {
    return 1u << static_cast<unsigned>(mode);
}

constexpr unsigned kBuild = Bit(Mode::Build);
constexpr unsigned kCheck = Bit(Mode::Check);
constexpr unsigned kLinks = Bit(Mode::CheckLinks);
constexpr unsigned kAll = kBuild | kCheck | kLinks;

std::optional<std::string> WholeJobs(std::string_view value) {
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 1024)
        return "takes a whole number from 1 to 1024";
    return std::nullopt;
}

std::optional<std::string> Seconds(std::string_view value) {
    // Digits with at most one decimal point, from a millisecond to an hour: less than a
    // millisecond would reach curl as 0, which means no limit at all.
    const bool form = !value.empty() && value.find_first_not_of("0123456789.") == value.npos &&
                      std::ranges::count(value, '.') <= 1 && value != ".";
    if (form) {
        const double seconds = std::stod(std::string(value));
        if (seconds >= 0.001 && seconds <= 3600)
            return std::nullopt;
    }
    return "takes a number of seconds from 0.001 to 3600";
}

std::optional<std::string> HostPortAddress(std::string_view value) {
    // HOST:PORT:ADDRESS[,ADDRESS]..., as curl's --resolve, every ADDRESS an IP address: the link
    // check reads it by the same rule.
    if (linkcheck::ReadResolveEntry(value))
        return std::nullopt;
    return "takes HOST:PORT:ADDRESS (a port from 1 to 65535, an IPv4 or IPv6 address): '" +
           check::Printable(value) + "'";
}

// The token options take their names from the check's list, which the build's tokens are
// indexed by.
constexpr OptionSpec kTable[] = {
    {"data", "DATA", OptionSpec::File, kAll, kAll, false,
     "link data: one site a line, \"name,URL,administrator,description\"", nullptr},
    {"template", "TEMPLATE", OptionSpec::File, kBuild | kCheck, kBuild | kCheck, false,
     "HTML template with the marker lines _HEAD_, _FRAME_ and _FOOT_", nullptr},
    {"output", "PAGE", OptionSpec::File, kBuild, kBuild, false,
     "the page to write (replaced atomically); \"-\" for standard output", nullptr},
    {check::kTokenOptions[kSiteName], "T", OptionSpec::Text, kBuild | kCheck, 0, false,
     "token replaced by the site name      (default _TITLE_)", nullptr},
    {check::kTokenOptions[kURL], "U", OptionSpec::Text, kBuild | kCheck, 0, false,
     "token replaced by the URL            (default _URL_)", nullptr},
    {check::kTokenOptions[kAdministrator], "A", OptionSpec::Text, kBuild | kCheck, 0, false,
     "token replaced by the administrator  (default _AUTHOR_)", nullptr},
    {check::kTokenOptions[kDescription], "E", OptionSpec::Text, kBuild | kCheck, 0, false,
     "token replaced by the description    (default _EXPLAIN_)", nullptr},
    {"check", "", OptionSpec::Switch, kCheck, 0, false,
     "write no page: read both files as a build would and report, as\n"
     "FILE:LINE[:COLUMN], what would make the build fail (エラー) and what\n"
     "it would do that is probably not meant (警告), then a count and\n"
     "whether the build will succeed",
     nullptr},
    {"check-links", "", OptionSpec::Switch, kLinks, 0, false,
     "ask the server of every URL in DATA whether the site is still there:\n"
     "DATA:LINE: エラー (dead: 404, 410, no such host, refused), 警告 (moved:\n"
     "301, 308, with the new URL), 注記 (could not tell: 401, 403, 429, 5xx,\n"
     "a timeout, TLS, not http or https), then a count",
     nullptr},
    {"jobs", "N", OptionSpec::Text, kLinks, 0, false,
     "requests at once over all hosts (default 256); never more than 2 to\n"
     "one host",
     WholeJobs},
    {"timeout", "SECONDS", OptionSpec::Text, kLinks, 0, false,
     "the longest wait for one answer (default 20)", Seconds},
    {"resolve", "HOST:PORT:ADDRESS", OptionSpec::Text, kLinks, 0, true,
     "connect HOST:PORT to ADDRESS without a name lookup (repeatable)", HostPortAddress},
    {"state", "FILE", OptionSpec::File, kLinks, 0, false,
     "each URL's history between runs: a link found healthy in the last\n"
     "24 hours is not asked again, and a dead link is a 警告 until it fails\n"
     "again 20 hours or more later",
     nullptr},
    {"help", "", OptionSpec::Switch, 0, 0, false, "this text", nullptr},
    {"version", "", OptionSpec::Switch, 0, 0, false, "the program's name and version", nullptr},
};

constexpr std::string_view kHelpTail =
    "\n"
    "Files are read and written as bytes: a code page 932 template takes code page 932 data,\n"
    "a UTF-8 template UTF-8 data. A token given in UTF-8 is converted to code page 932 for a\n"
    "code page 932 template; other bytes are used as given. An empty token never matches.\n"
    "The page is never written over the data file or the template.\n"
    "Exit status: 0 success, 1 the build failed, 2 wrong usage. With --check: 0 no error\n"
    "(warnings allowed), 1 an error, 2 wrong usage; nothing is printed when all is well.\n"
    "With --check-links: 0 no dead link, 1 a dead link or DATA cannot be read, 2 wrong usage,\n"
    "130 interrupted (what was found so far is printed).\n"
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

constexpr Mode kModes[] = {Mode::Build, Mode::Check, Mode::CheckLinks};

const OptionSpec* Find(std::string_view name) {
    const auto it = std::ranges::find(kTable, name, &OptionSpec::name);
    return it == std::end(kTable) ? nullptr : &*it;
}

// The switch that chooses a mode ("check"), none for a build.
const OptionSpec* ModeSwitch(Mode mode) {
    for (const OptionSpec& o : kTable) {
        if (o.kind == OptionSpec::Switch && o.modes == Bit(mode))
            return &o;
    }
    return nullptr;
}

std::string Shown(const OptionSpec& o) {
    std::string text = "--";
    text += o.name;
    if (!o.value.empty()) {
        text += ' ';
        text += o.value;
    }
    return text;
}

// "qvn-build --check --data DATA --template TEMPLATE", then the optional options on a second line
// under the first option.
void PrintForm(std::ostream& out, Mode mode) {
    out << "qvn-build";
    if (const OptionSpec* s = ModeSwitch(mode))
        out << " --" << s->name;
    std::string optional;
    for (const OptionSpec& o : kTable) {
        if (!(o.modes & Bit(mode)) || o.kind == OptionSpec::Switch)
            continue;
        if (o.required & Bit(mode))
            out << " " << Shown(o);
        else
            optional += " [" + Shown(o) + "]" + (o.repeatable ? "..." : "");
    }
    out << "\n";
    if (!optional.empty())
        out << "                " << optional << "\n";
}

} // namespace

std::span<const OptionSpec> OptionTable() {
    return kTable;
}

void PrintHelp(std::ostream& out) {
    out << "usage: ";
    for (const Mode mode : kModes) {
        if (mode != Mode::Build)
            out << "       ";
        PrintForm(out, mode);
    }
    out << "       qvn-build --help | --version\n\n"
        << "Builds a links page: the template's frame once for every site in the data file.\n\n";
    constexpr std::size_t kColumn = 23;
    for (const OptionSpec& o : kTable) {
        std::string head = "  " + Shown(o);
        if (head.size() + 2 > kColumn)
            head += "\n" + std::string(kColumn, ' ');
        else
            head.resize(kColumn, ' ');
        out << head;
        for (const char c : o.help)
            out << (c == '\n' ? "\n" + std::string(kColumn, ' ') : std::string(1, c));
        out << "\n";
    }
    out << kHelpTail;
}

std::optional<Options> Parse(const std::vector<std::string>& args, std::ostream& err) {
    Options o;
    std::string mistake; // the first one, said unless help or version is asked for
    const auto note = [&mistake](std::string text) {
        if (mistake.empty())
            mistake = std::move(text);
    };
    std::set<std::string_view> given;
    std::vector<const OptionSpec*> modeSwitches;
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
        const OptionSpec* entry = Find(name);
        if (!entry || entry->modes == 0) {
            note("unknown option '--" + name + "'");
            continue;
        }
        if (entry->kind == OptionSpec::Switch) {
            if (value)
                note("option '--" + name + "' takes no value");
            else if (!given.insert(entry->name).second)
                note("option '--" + name + "' given twice");
            else
                modeSwitches.push_back(entry);
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                note("option '--" + name + "' needs a value");
                continue;
            }
            value = args[++i];
        }
        if (!given.insert(entry->name).second && !entry->repeatable) {
            note("option '--" + name + "' given twice");
            continue;
        }
        if (entry->validate) {
            if (const auto why = entry->validate(*value)) {
                note("option '--" + name + "' " + *why);
                continue;
            }
        }
        o.values[name] = *value;
        o.lists[name].push_back(*value);
    }
    if (o.help || o.version)
        return o;

    if (modeSwitches.size() > 1)
        note("options '--" + std::string(modeSwitches[0]->name) + "' and '--" +
             std::string(modeSwitches[1]->name) + "' do not go together");
    else if (modeSwitches.size() == 1)
        o.mode = std::ranges::find(kModes, modeSwitches[0]->modes, Bit)[0];
    const OptionSpec* chosen = ModeSwitch(o.mode);
    for (const OptionSpec& entry : kTable) {
        if (entry.kind == OptionSpec::Switch)
            continue;
        const bool present = given.contains(entry.name);
        if (present && !(entry.modes & Bit(o.mode))) {
            const std::string name = "option '--" + std::string(entry.name) + "'";
            const OptionSpec* only = nullptr; // the switch of the one mode the option is for
            for (const Mode m : kModes) {
                if (entry.modes == Bit(m))
                    only = ModeSwitch(m);
            }
            if (only)
                note(name + " goes only with --" + std::string(only->name));
            else if (!chosen)
                note(name + " does not go with a build");
            else
                note(name + " does not go with --" + std::string(chosen->name) +
                     (entry.name == "output" ? ": it writes no page" : ""));
        } else if (!present && (entry.required & Bit(o.mode))) {
            note("missing --" + std::string(entry.name));
        }
    }
    // "-" is standard output for --output only: the inputs are files.
    if (const auto data = o.values.find("data"); data != o.values.end() && data->second == "-")
        note("standard input is not a data file: give --data a file name (./- for a file named -)");
    if (!mistake.empty()) {
        err << "qvn-build: " << mistake << "\n";
        err << "usage: ";
        PrintForm(err, o.mode);
        return std::nullopt;
    }
    return o;
}

} // namespace qvn::cli
