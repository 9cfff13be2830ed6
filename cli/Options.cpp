// qvn-build's option table (each option's help line and manual page entry), the parser it drives,
// and the usage and help texts made from it.
#include "Options.h"

#include "Findings.h"
#include "LinkCheck.h"
#include "Url.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ostream>
#include <set>
#include <sstream>

namespace qvn::cli {
namespace {

constexpr unsigned Bit(Mode mode) {
    return 1u << static_cast<unsigned>(mode);
}

constexpr unsigned kBuild = Bit(Mode::Build);
constexpr unsigned kCheck = Bit(Mode::Check);
constexpr unsigned kLinks = Bit(Mode::CheckLinks);
constexpr unsigned kAll = kBuild | kCheck | kLinks;

constexpr int kMaxJobs = 1024;
constexpr int kMaxSeconds = 3600;

std::optional<std::string> WholeJobs(std::string_view value) {
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > kMaxJobs)
        return "takes a whole number from 1 to " + std::to_string(kMaxJobs);
    return std::nullopt;
}

std::optional<std::string> Seconds(std::string_view value) {
    // Digits with at most one decimal point, above 0 and at most an hour.
    const bool form = !value.empty() && value.find_first_not_of("0123456789.") == value.npos &&
                      std::ranges::count(value, '.') <= 1 && value != ".";
    if (form) {
        const double seconds = std::stod(std::string(value));
        if (seconds >= 0.001 && seconds <= kMaxSeconds)
            return std::nullopt;
    }
    return "takes a number of seconds from 0.001 to " + std::to_string(kMaxSeconds);
}

std::optional<std::string> HostPortAddress(std::string_view value) {
    // HOST:PORT:ADDRESS[,ADDRESS]..., as curl's --resolve, every ADDRESS an IP address: the link
    // check reads it by the same rule.
    if (linkcheck::ReadResolveEntry(value))
        return std::nullopt;
    return "takes HOST:PORT:ADDRESS (a port from 1 to 65535, an IPv4 or IPv6 address): '" +
           Printable(value) + "'";
}

std::optional<std::string> Format(std::string_view value) {
    if (value == "text" || value == "json")
        return std::nullopt;
    return "takes text or json: '" + Printable(value) + "'";
}

// The table, made once. The defaults it names are the ones the build and the link check use.
std::vector<OptionSpec> MakeTable() {
    const Tokens& token = DefaultTokens();
    const std::string jobs = std::to_string(linkcheck::kDefaultJobs);
    std::ostringstream seconds; // "20", or "2.5"
    seconds << std::chrono::duration<double>(linkcheck::Settings{}.timeout).count();
    return {
        {"data", "DATA", OptionSpec::File, kAll, kAll, false,
         "link data: one site a line, \"name,URL,administrator,description\"",
         "The link data file to read.\nRequired.", nullptr},
        {"template", "TEMPLATE", OptionSpec::File, kBuild | kCheck, kBuild | kCheck, false,
         "HTML template with the marker lines _HEAD_, _FRAME_ and _FOOT_",
         "The template to read.\nRequired.", nullptr},
        {"output", "PAGE", OptionSpec::File, kBuild, kBuild, false,
         "the page to write (replaced atomically); \"-\" for standard output",
         R"roff(The page to write.
Required.
The page is written to a new file in the directory of
.I PAGE
and flushed to disk, and only then replaces
.I PAGE
in one step: an existing page is only ever replaced by a complete new one.
Where the file system allows it (on Linux: ext4, XFS, Btrfs, tmpfs and most others) the new file
has no name until it is complete, so nothing is left behind whatever ends the program, even
.B kill \-9
(but for the instant in which the complete file, under a temporary name, is renamed over the old
page);
elsewhere it is a hidden temporary file
.RB ( .qvn\- " followed by eight letters)"
that is removed when the build fails and on every signal that ends the program, though not after
.B SIGKILL
or a power cut.
The directory is held open, so the page lands there even if the directory is renamed meanwhile.
.IP
What the new page keeps of the old one: its permission bits, from the moment the new file is
created, so its contents are never readable by more users than the old page's; its access
control list and its extended attributes
.RB ( user.* ,
and
.B security.*
where the system allows it); its owner and group when
.B qvn\-build
runs as root, and otherwise its group when the user belongs to that group (the page then belongs
to the user who built it).
Not kept: other hard links to the old page keep the old contents, because the page is a new file
put in the old one's place, with times and an inode number of its own.
A new page gets the permissions that the umask (or the directory's default access control list)
gives.
When
.I PAGE
is a symbolic link, the file it points to is replaced and the link stays.
.IP
.I PAGE
given as
.B \-
writes the page to standard output.
A name that stands for one of the program's open file descriptors,
.BR /dev/stdout ,
.BR /dev/stderr ,
.BI /dev/fd/ N
or
.BI /proc/self/fd/ N\fR,
is the same: the page is written through that descriptor from where it stands (appended to a
log opened with
.BR >> ),
and nothing is replaced.)roff",
         nullptr},
        {kTokenOptions[kSiteName], "T", OptionSpec::Text, kBuild | kCheck, 0, false,
         "token replaced by the site name      (default " + token[kSiteName] + ")",
         "The token replaced by the site name, instead of\n.BR " + token[kSiteName] + " .",
         nullptr},
        {kTokenOptions[kURL], "U", OptionSpec::Text, kBuild | kCheck, 0, false,
         "token replaced by the URL            (default " + token[kURL] + ")",
         "The token replaced by the site's URL, instead of\n.BR " + token[kURL] + " .", nullptr},
        {kTokenOptions[kAdministrator], "A", OptionSpec::Text, kBuild | kCheck, 0, false,
         "token replaced by the administrator  (default " + token[kAdministrator] + ")",
         "The token replaced by the site's administrator, instead of\n.BR " +
             token[kAdministrator] + " .",
         nullptr},
        {kTokenOptions[kDescription], "E", OptionSpec::Text, kBuild | kCheck, 0, false,
         "token replaced by the description    (default " + token[kDescription] + ")",
         "The token replaced by the site description, instead of\n.BR " + token[kDescription] +
             " .",
         nullptr},
        {"check", "", OptionSpec::Switch, kCheck, 0, false,
         "write no page: read both files as a build would and report, as\n"
         "FILE:LINE[:COLUMN], what would make the build fail (エラー) and what\n"
         "it would do that is probably not meant (警告), then a count and\n"
         "whether the build will succeed",
         R"roff(Write no page: read
.I DATA
and
.I TEMPLATE
by the same rules as a build and print, on standard output, what would make the build fail
.RB ( エラー ,
error) and what the build would do that is probably not meant
.RB ( 警告 ,
warning), one finding a line in the form
.IB FILE : LINE :
or
.IB FILE : LINE : COLUMN :\fR,
each in plain words with what to do about it, then a count and whether the build will succeed,
such as
.BR "エラー 1 件、警告 3 件、注記 0 件。このままではビルドは失敗します。" .
(1 error, 3 warnings: the build will fail).
A line at the level
.B 注記
(note) is no finding of its own and is not counted: it follows an error to show a line that
probably caused it, or stands where more findings of one kind begin than are shown (the first
ten of a kind are shown, the rest only counted) and says how many were left out.
Columns count characters in the file's encoding, as editors do.
Nothing is printed when there is nothing to report.
Errors are a file that cannot be read and a template whose markers are missing or out of order;
when exactly one line is almost the missing marker (spaces around it, another case, full\-width
letters), the error stands on that line, otherwise the lines that were probably meant are noted.
Warnings on the link data are lines with fewer than three commas, or empty; lines cut by tabs
(reported once for the file), by full\-width commas or by
.BR 、 ;
a URL field that cannot work as a link
.RB ( www.
or a bare domain without
.BR https:// ,
a misspelt scheme such as
.BR ttp:// ,
full\-width letters, a full\-width space or a quote before it, another field's text in its place;
relative URLs,
.B mailto:
and other schemes pass); and a site listed twice (the same URL or the same line), naming the
first line, among the first 16,384 sites.
Warnings on either file are text that ends early at a zero byte; text in UTF\-16, which the build
cannot read; and lines in another encoding than the rest of the file.
A file is taken as UTF\-8 when most of its lines with characters outside ASCII are valid UTF\-8,
as Shift_JIS otherwise; EUC\-JP and ISO\-2022\-JP are named as such.
Data and template in different encodings, or against the template's
.B charset
(every name of the Shift_JIS family counts, in any case), are warned of, as are tokens that are
in no frame line (at the line of a near miss such as
.B _TITLE
or
.B _EXPRAIN_
when there is one), twice in one frame line, in the head or the foot, empty, or one inside
another, and marker lines inside a section.
The template is also read as HTML, as a browser reads the page, and a field that would break the
page where its token stands is warned of on its data line: a quote that ends the attribute value
it stands in (in a value without quotes, a space, >, a quote, =, < or a backquote too); a
javascript:, vbscript: or data: URL at the start of a URL attribute such as href; in text, a
comment, <script> or the like opened and not closed, or a tag whose > is not in the field;
\-\-> in a comment; the end tag of the <script> or <style> it stands in.
Past ten findings of a kind, the rest are counted.
File names and tokens are printed with their control characters written out.
Memory stays flat for lines of bounded length; a line is held whole.
.B \-\-output
is not given with
.BR \-\-check .)roff",
         nullptr},
        {"check-links", "", OptionSpec::Switch, kLinks, 0, false,
         "ask the server of every URL in DATA whether the site is still there:\n"
         "DATA:LINE: エラー (dead: 404, 410, no such host, refused), 警告 (moved:\n"
         "301, 308, with the new URL), 注記 (could not tell: 401, 403, 429, 5xx,\n"
         "a timeout, TLS, not http or https), then a count",
         R"roff(Write no page: ask the web server of every URL in
.I DATA
whether the site is still there, and print one line for each link that is not healthy, in the
form of
.BR \-\-check ,
then a count (see
.BR "LINK CHECK" ).
.B \-\-template ,
.B \-\-output
and the tokens are not given with
.BR \-\-check\-links .)roff",
         nullptr},
        {"jobs", "N", OptionSpec::Text, kLinks, 0, false,
         "requests at once over all hosts (default " + jobs +
             "); never more than 2 to\n"
             "one host",
         R"roff(With
.BR \-\-check\-links :
at most
.I N
requests at once over all hosts, from 1 to )roff" +
             std::to_string(kMaxJobs) + " (default " + jobs + R"roff().
Never more than 2 go to one host at once, whatever
.IR N ;
a host is what the connection reaches: names that differ only in case or a final dot, and names
and spellings of one address (127.0.0.1, [::ffff:127.0.0.1], a name that
.B \-\-resolve
sends there), are one host.)roff",
         WholeJobs},
        {"timeout", "SECONDS", OptionSpec::Text, kLinks, 0, false,
         "the longest wait for one answer (default " + seconds.str() + ")",
         R"roff(With
.BR \-\-check\-links :
the longest wait for one request, from its start to its answer, from 0.001 (a millisecond) to )roff" +
             std::to_string(kMaxSeconds) + ",\ndecimals allowed (default " + seconds.str() + ").",
         Seconds},
        {"resolve", "HOST:PORT:ADDRESS", OptionSpec::Text, kLinks, 0, true,
         "connect HOST:PORT to ADDRESS without a name lookup (repeatable)", R"roff(With
.BR \-\-check\-links :
connect to
.IR ADDRESS
for
.IR HOST
at
.IR PORT ,
without a name lookup, as
.BR curl (1)
does.
.I ADDRESS
is an IPv4 or IPv6 address (in brackets or not); several, separated by commas, are tried in turn.
May be given many times: for tests, and for checking a site before its DNS moves.
An entry of another form is wrong usage, and the message names it.)roff",
         HostPortAddress},
        {"state", "FILE", OptionSpec::File, kLinks, 0, false,
         "each URL's history between runs: a link found healthy in the last\n"
         "24 hours is not asked again, and a dead link is a 警告 until it fails\n"
         "again 20 hours or more later",
         R"roff(With
.BR \-\-check\-links :
keep each URL's history in
.I FILE
between runs (a text file, made for its owner alone when it does not exist; URLs are kept without
their passwords).
A link found healthy less than 24 hours before is not asked again; a dead link is a
.B 警告
the first time and becomes an
.B エラー
only when it is dead again in a run at least 20 hours after its first failure.
A
.I FILE
that is not such a history is an error, and is left as it is.
Two checks at once may share
.IR FILE :
each saves the URLs it checked into the history as the file holds it then, under a lock, so that
neither loses the other's (one that has to wait for the lock says so on standard error).
.I FILE
may not be
.I DATA
(by whatever name), a folder, a FIFO or a device: that is wrong usage.)roff",
         nullptr},
        {"format", "FORMAT", OptionSpec::Text, kLinks, 0, false,
         "text (default): FILE:LINE: lines and a count; json: JSON Lines, one\n"
         "object a finding, then {\"summary\": ...}",
         R"roff(With
.BR \-\-check\-links :
how the findings are written on standard output.
.B text
(the default) is the form of
.BR \-\-check :
one line a finding, then the count.
.B json
is JSON Lines for scripts, in UTF\-8: one object a finding, with the members
.B file
(the data file as given),
.B line
(from 1),
.B url
(as listed, without its password; read as Shift_JIS when it is not UTF\-8),
.B severity
.RB ( error ,
.BR warning ,
.BR note ),
.B kind
.RB ( dead ,
.BR moved ,
.BR unverified ,
.BR parked ,
.BR soft404 ,
.BR changed ),
.B status
(the last answer's HTTP status, or
.B null
when none came),
.B location
(the URL a redirected link ended at, or
.BR null )
and
.B message
(the text after the label in the
.B text
form); then, always and last,
.BR "{\(dqsummary\(dq: {\(dqerror\(dq: N, \(dqwarning\(dq: N, \(dqnote\(dq: N, \(dqchecked\(dq: N}}" ,
where
.B checked
counts the distinct URLs whose verdict is known.
Exit statuses are the same in both forms.)roff",
         Format},
        {"fix-moved", "", OptionSpec::Flag, kLinks, 0, false,
         "after the check, write DATA again with each permanently moved site's\n"
         "URL replaced by where it now is, and print FILE:LINE: 更新: OLD → NEW",
         R"roff(With
.BR \-\-check\-links :
after the check, write
.I DATA
again with the URL of each permanently moved site replaced by the URL it now answers at, and
print one line for each change,
.IB DATA : LINE ": 更新: " "OLD " "→ " NEW
(on standard error with
.BR "\-\-format json" ,
whose standard output is the findings' alone).
A URL is replaced only when every redirect on its way is permanent (301 or 308) and the new place
answers 2xx and is neither parked nor a soft 404; a site that moved and also became another site
.RB ( changed )
is left for you to look at.
Every other byte of
.I DATA
stays as it was, the line ends and the encoding included (a new URL goes into a Shift_JIS file
in Shift_JIS); a URL the field cannot hold (a comma, a character Shift_JIS lacks) is left and
named on standard error.
The file is replaced as a page is (see
.BR \-\-output ),
and only when it is the same, byte for byte, as when the check read it: a file changed meanwhile
is not written, and the exit status is 1.
Nothing is written when the check is interrupted.)roff",
         nullptr},
        {"help", "", OptionSpec::Switch, 0, 0, false, "this text",
         R"roff(Print the usage and a summary of the options on standard output and exit with status 0,
building nothing (status 1 when standard output cannot take them).)roff",
         nullptr},
        {"version", "", OptionSpec::Switch, 0, 0, false, "the program's name and version",
         R"roff(Print the program's name and version
.RB ( "qvn\-build )roff" QVN_VERSION R"roff(" )
on standard output and exit with status 0, building nothing (status 1 when standard output cannot
take them).)roff",
         nullptr},
    };
}

constexpr std::string_view kHelpTail =
    "\n"
    "Files are read and written as bytes: a code page 932 template takes code page 932 data,\n"
    "a UTF-8 template UTF-8 data. A token given in UTF-8 is converted to code page 932 for a\n"
    "code page 932 template; other bytes are used as given. An empty token never matches.\n"
    "The page is never written over the data file or the template.\n"
    "Exit status: 0 success, 1 the build failed, 2 wrong usage. With --check: 0 no error\n"
    "(warnings allowed), 1 an error, 2 wrong usage; nothing is printed when all is well.\n"
    "With --check-links: 0 no dead link, 1 a dead link, DATA cannot be read or (with\n"
    "--fix-moved) written, 2 wrong usage,\n"
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
    "  エラー 1 件、警告 1 件、注記 0 件。このままではビルドは失敗します。\n";

constexpr Mode kModes[] = {Mode::Build, Mode::Check, Mode::CheckLinks};

const OptionSpec* Find(std::string_view name) {
    const auto it = std::ranges::find(OptionTable(), name, &OptionSpec::name);
    return it == OptionTable().end() ? nullptr : &*it;
}

// The switch that chooses a mode ("check"), none for a build.
const OptionSpec* ModeSwitch(Mode mode) {
    for (const OptionSpec& o : OptionTable()) {
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
    std::string optional;
    for (const OptionSpec* o : UsageForm(mode)) {
        if (o->kind == OptionSpec::Switch || (o->required & Bit(mode)))
            out << " " << Shown(*o);
        else
            optional += " [" + Shown(*o) + "]" + (o->repeatable ? "..." : "");
    }
    out << "\n";
    if (!optional.empty())
        out << "                " << optional << "\n";
}

} // namespace

std::span<const OptionSpec> OptionTable() {
    static const std::vector<OptionSpec> table = MakeTable();
    return table;
}

std::vector<const OptionSpec*> UsageForm(Mode mode) {
    std::vector<const OptionSpec*> form;
    if (const OptionSpec* s = ModeSwitch(mode))
        form.push_back(s);
    for (const unsigned required : {Bit(mode), 0u}) {
        for (const OptionSpec& o : OptionTable()) {
            if (o.kind != OptionSpec::Switch && (o.modes & Bit(mode)) &&
                (o.required & Bit(mode)) == required)
                form.push_back(&o);
        }
    }
    return form;
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
    for (const OptionSpec& o : OptionTable()) {
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
        if (entry->kind == OptionSpec::Switch || entry->kind == OptionSpec::Flag) {
            if (value)
                note("option '--" + name + "' takes no value");
            else if (!given.insert(entry->name).second)
                note("option '--" + name + "' given twice");
            else if (entry->kind == OptionSpec::Switch)
                modeSwitches.push_back(entry);
            else
                o.values[name] = "";
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
    for (const OptionSpec& entry : OptionTable()) {
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
