// qvn-build's command line through cli::run, in a folder of the process's own that holds link
// data, a template, an old page, a read-only page, a folder, a link to the old page and a loop of
// links. The arguments are also read by a small reference of the command line's rules, which
// says whether they are wrong usage, a request for help or the version, or a build, and for a
// build whose files are known, whether it fails or which page it writes where. Whatever the
// arguments: the status is 0, 1 or 2 with the text that goes with it; a failure changes nothing
// in the folder; a success writes one page (to standard output or to one file) or the help or
// version text; and no temporary file is ever left.
//
// Input: the arguments, cut at a pair of NUL bytes (see Parts), so an argument may still hold a
// single NUL; no bytes at all are no arguments. An argument that could reach outside the folder
// (starting with "/", holding "=/" or "..") makes the input out of bounds: it is not run.
#include "Cli.h"
#include "FuzzSupport.h"
#include "Reference.h"

#include <array>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace qvn::fuzz;
namespace fs = std::filesystem;

constexpr const char* kLinks = "s1,u1,a1,d1\r\n\x83\x54\x83\x43\x83\x67,u2,,d2,more\r\n\n";
constexpr const char* kTemplate =
    "top\n_HEAD_\n<h>_TITLE_</h>\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n"
    "_FOOT_\n<f>_URL_</f>\n";
constexpr const char* kOldPage = "old page\r\n";
constexpr const char* kReadOnlyPage = "read-only page\r\n";
// Every page built from kTemplate starts and ends so, whatever the data and tokens.
constexpr std::string_view kPageHead = "<h>_TITLE_</h>\r\n";
constexpr std::string_view kPageFoot = "<f>_URL_</f>\r\n";

// Puts the folder's files in place, as every run finds them.
void Prepare(const std::string& dir) {
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());
    WriteFile(dir + "/links.csv", kLinks);
    WriteFile(dir + "/t.html", kTemplate);
    WriteFile(dir + "/page.html", kOldPage);
    WriteFile(dir + "/ro.html", kReadOnlyPage);
    fs::permissions(dir + "/ro.html", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(dir + "/dir");
    fs::create_symlink("page.html", dir + "/link");
    fs::create_symlink("loop", dir + "/loop");
}

// Every name below the folder, with its kind, permission bits and contents.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().lexically_relative(dir).string();
        const auto status = entry.symlink_status();
        std::string& what = state[name];
        what = std::to_string(static_cast<int>(status.type())) + " " +
               std::to_string(static_cast<int>(status.permissions())) + " ";
        if (fs::is_symlink(status))
            what += fs::read_symlink(entry.path()).string();
        else if (fs::is_regular_file(status))
            what += ReadFile(entry.path().string());
    }
    return state;
}

bool IsPage(std::string_view bytes) {
    return bytes.starts_with(kPageHead) && bytes.ends_with(kPageFoot);
}

bool InBounds(const std::string& arg) {
    return !arg.starts_with('/') && arg.find("=/") == std::string::npos &&
           arg.find("..") == std::string::npos;
}

// What the arguments ask for, by the rules of the command line: "--name value" or "--name=value"
// for each of seven options, at most once each, the first three required; a value is taken as it
// stands; "--help" and "--version" count only where an option may stand, and the first of them
// wins over any mistake.
struct Request {
    enum Kind { kUsage, kHelp, kVersion, kBuild } kind = kBuild;
    std::map<std::string, std::string> values;
};

Request Read(const std::vector<std::string>& args) {
    static const std::set<std::string> kNames = {"data", "template", "output", "title",
                                                 "url",  "author",   "explain"};
    Request r;
    bool asked = false;
    bool mistake = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "--version") {
            if (!asked)
                r.kind = arg == "--help" ? Request::kHelp : Request::kVersion;
            asked = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            mistake = true;
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
        if (!kNames.contains(name)) {
            mistake = true;
            continue;
        }
        std::optional<std::string> value;
        if (eq != std::string::npos)
            value = arg.substr(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        if (!value || !r.values.emplace(name, *value).second)
            mistake = true;
    }
    if (!asked && (mistake || !r.values.contains("data") || !r.values.contains("template") ||
                   !r.values.contains("output")))
        r.kind = Request::kUsage;
    return r;
}

// What becomes of a name given for a file: it fails, it is read (or written) as the folder's file
// `file`, or it is not known (a name with a "/" in it).
struct Fate {
    enum Kind { kFails, kFile, kUnknown } kind;
    std::string file;
};

Fate Fails() {
    return {Fate::kFails, {}};
}

// Names that cannot be opened whatever the folder holds, and names with a folder in them.
std::optional<Fate> NotAPlainName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos || name.size() > 255)
        return Fails();
    if (name.find('/') != std::string::npos)
        return Fate{Fate::kUnknown, {}};
    return std::nullopt;
}

Fate DataFate(const std::string& name) {
    if (const auto fate = NotAPlainName(name))
        return *fate;
    if (name == "link")
        return {Fate::kFile, "page.html"};
    if (name == "links.csv" || name == "t.html" || name == "page.html" || name == "ro.html")
        return {Fate::kFile, name};
    return Fails(); // missing, the folder itself, a folder, or a loop
}

Fate TemplateFate(const std::string& name) {
    if (name == "t.html")
        return {Fate::kFile, name};
    const Fate fate = DataFate(name);
    return fate.kind == Fate::kFile ? Fails() : fate; // the other files have no markers
}

Fate OutputFate(const std::string& name) {
    if (name == "-")
        return {Fate::kFile, name};
    if (const auto fate = NotAPlainName(name))
        return *fate;
    if (name == "." || name == "dir" || name == "loop" || name == "ro.html")
        return Fails();
    return {Fate::kFile, name == "link" ? "page.html" : name};
}

// The page kTemplate gives for the data in one of the folder's files and the token options.
std::string ExpectedPage(const std::string& dataFile,
                         const std::map<std::string, std::string>& values) {
    const std::map<std::string, std::string> files = {{"links.csv", kLinks},
                                                      {"t.html", kTemplate},
                                                      {"page.html", kOldPage},
                                                      {"ro.html", kReadOnlyPage}};
    std::array<std::string, 4> tokens = {"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"};
    const char* names[] = {"title", "url", "author", "explain"};
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (const auto it = values.find(names[k]); it != values.end())
            tokens[k] = it->second;
    }
    const auto page = ref::Page(ref::Lines(kTemplate), ref::Records(files.at(dataFile)), tokens);
    QVN_CHECK(page);
    return ref::CrLfText(*page);
}

// A build's status, and for one whose files are all known, the page where it must be.
void CheckBuild(const Request& request, int status, const std::string& out,
                const std::string& dir) {
    const auto& values = request.values;
    const Fate data = DataFate(values.at("data"));
    const Fate templ = TemplateFate(values.at("template"));
    const Fate output = OutputFate(values.at("output"));
    if (data.kind == Fate::kFails || templ.kind == Fate::kFails || output.kind == Fate::kFails) {
        QVN_CHECK(status == 1);
        return;
    }
    if (data.kind == Fate::kUnknown || templ.kind == Fate::kUnknown ||
        output.kind == Fate::kUnknown)
        return;
    if (output.file == data.file || output.file == templ.file) {
        QVN_CHECK(status == 1); // a page never replaces a file it is made from
        return;
    }
    QVN_CHECK(status == 0);
    const std::string page = ExpectedPage(data.file, values);
    if (output.file == "-")
        QVN_CHECK(out == page);
    else
        QVN_CHECK(ReadFile(dir + "/" + output.file) == page);
}

// Runs with the folder as the working folder, so that relative names stay in it.
int RunIn(const std::string& dir, const std::vector<std::string>& args, std::ostream& out,
          std::ostream& err) {
    static const int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVN_CHECK(home >= 0 && ::chdir(dir.c_str()) == 0);
    const int status = qvn::cli::run(args, out, err);
    QVN_CHECK(::fchdir(home) == 0);
    return status;
}

} // namespace

// The run works in its own folder: libFuzzer is told to write what it finds where it was started
// (an artifact is written while the working folder may be the scratch folder), unless told
// otherwise.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i) {
        const std::string_view arg = (*argv)[i];
        if (arg.starts_with("-artifact_prefix=") || arg.starts_with("-exact_artifact_path="))
            return 0;
    }
    static std::vector<char*> args(*argv, *argv + *argc);
    static std::string prefix = "-artifact_prefix=" + fs::current_path().string() + "/";
    args.insert(args.begin() + 1, prefix.data());
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    if (size > 0) // an empty input is an empty command line
        args = Parts(data, size);
    // The reference below knows the build's options only. The check and the link check have
    // tests of their own (the link check asks web servers: against a loopback server there), so a
    // command line that names an option of theirs is left out.
    static const std::set<std::string_view> kOtherModes = {"check", "check-links", "jobs",
                                                           "timeout", "resolve", "state"};
    for (const std::string& arg : args) {
        const std::string_view name =
            arg.starts_with("--") ? std::string_view(arg).substr(2, arg.find('=') - 2) : "";
        if (!InBounds(arg) || kOtherModes.contains(name))
            return 0;
    }
    const std::string& dir = Scratch().Dir();
    static const bool prepared = (Prepare(dir), true);
    (void)prepared;
    const auto before = Snapshot(dir);

    std::ostringstream out, err;
    const int status = RunIn(dir, args, out, err);
    const auto after = Snapshot(dir);
    const Request request = Read(args);
    const auto output = request.values.find("output");
    QVN_CHECK(!HoldsTemporaryFile(dir, output == request.values.end() ? "" : output->second));
    const std::string o = out.str();
    const std::string e = err.str();

    // What the status and the text say, and what changed in the folder.
    int changed = 0;
    for (const auto& [name, what] : after) {
        const auto old = before.find(name);
        if (old != before.end() && old->second == what)
            continue;
        ++changed;
        QVN_CHECK(fs::is_regular_file(fs::symlink_status(dir + "/" + name)));
        QVN_CHECK(IsPage(ReadFile(dir + "/" + name)));
    }
    for (const auto& entry : before)
        QVN_CHECK(after.contains(entry.first)); // nothing is removed
    switch (status) {
    case 2: // wrong usage: the reason and the usage, nothing built
        QVN_CHECK(o.empty());
        QVN_CHECK(e.starts_with("qvn-build: ") &&
                  e.find("\nusage: qvn-build ") != std::string::npos);
        QVN_CHECK(changed == 0);
        break;
    case 1: // a failed build: one line saying why, nothing written anywhere
        QVN_CHECK(o.empty());
        QVN_CHECK(e.starts_with("qvn-build: ") && e.ends_with("\n"));
        QVN_CHECK(changed == 0);
        break;
    case 0: // help, the version, or a page on standard output or in one file
        QVN_CHECK(e.empty());
        QVN_CHECK(changed == (o.empty() ? 1 : 0));
        break;
    default:
        QVN_FAIL("an exit status other than 0, 1 or 2");
    }

    // What the arguments asked for.
    switch (request.kind) {
    case Request::kUsage:
        QVN_CHECK(status == 2);
        break;
    case Request::kHelp:
        QVN_CHECK(status == 0 && o.starts_with("usage: qvn-build ") &&
                  o.find("--explain") != std::string::npos);
        break;
    case Request::kVersion:
        QVN_CHECK(status == 0 && o.starts_with("qvn-build ") && o.find('\n') == o.size() - 1);
        break;
    case Request::kBuild:
        QVN_CHECK(status != 2);
        if (status == 0)
            QVN_CHECK(IsPage(o) || changed == 1);
        CheckBuild(request, status, o, dir);
        break;
    }

    if (changed > 0)
        Prepare(dir);
    return 0;
}
