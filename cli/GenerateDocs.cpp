// Writes qvn-build's manual page and bash completion at build time from their templates, with the
// synopsis, the option entries and the completion's lists taken from the option table the
// program parses with, so that neither can drift from it.
// Usage: qvn-build-docs man|completion TEMPLATE OUTPUT
#include "Options.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using qvn::cli::Mode;
using qvn::cli::OptionSpec;
using qvn::cli::OptionTable;

// "--check-links" as roff writes it: \-\-check\-links.
std::string Flag(const OptionSpec& o) {
    std::string roff = "\\-\\-";
    for (const char c : o.name)
        roff += c == '-' ? std::string("\\-") : std::string(1, c);
    return roff;
}

// The tag of an option's entry, and of a required option in the synopsis.
std::string Tag(const OptionSpec& o) {
    if (o.kind == OptionSpec::Switch || o.kind == OptionSpec::Flag)
        return ".B " + Flag(o);
    return ".BI " + Flag(o) + " \" " + std::string(o.value) + "\"";
}

// The usage forms, as --help prints them, one under the other; an optional option's value is in
// italics with its colons upright (HOST:PORT:ADDRESS).
std::string Synopsis() {
    std::vector<std::string> forms;
    for (const Mode mode : {Mode::Build, Mode::Check, Mode::CheckLinks}) {
        std::string form = ".B qvn-build";
        for (const OptionSpec* o : qvn::cli::UsageForm(mode)) {
            if (o->kind == OptionSpec::Switch) {
                form += " " + Flag(*o);
            } else if (o->kind == OptionSpec::Flag) {
                form += "\n.RB [ " + Flag(*o) + " ]";
            } else if (o->required & (1u << static_cast<unsigned>(mode))) {
                form += "\n" + Tag(*o);
            } else {
                std::string value(o->value);
                for (std::size_t at = 0; (at = value.find(':', at)) != value.npos; at += 3)
                    value.replace(at, 1, " : ");
                form +=
                    "\n.RB [ " + Flag(*o) + "\n.IR " + value + " ]" + (o->repeatable ? "..." : "");
            }
        }
        forms.push_back(form);
    }
    for (const OptionSpec& o : OptionTable()) {
        if (o.modes == 0) // --help, --version: alone
            forms.push_back(".B qvn-build " + Flag(o));
    }
    std::string roff;
    for (const std::string& form : forms)
        roff += (roff.empty() ? "" : ".br\n") + form + "\n";
    return roff;
}

// Each option's entry, its tag over its text, in the order of --help.
std::string Entries() {
    std::string roff;
    for (const OptionSpec& o : OptionTable())
        roff += ".TP\n" + Tag(o) + "\n" + o.manual + "\n";
    return roff;
}

// The completion's lists, as bash declarations: the modes of each option as bits of 1 << Mode,
// the options whose value is a file name or free text, the repeatable ones, and those that
// belong to no mode.
std::string CompletionLists() {
    std::map<std::string, std::string> lists;
    const auto add = [&lists](const std::string& list, const std::string& word) {
        lists[list] += (lists[list].empty() ? "" : " ") + word;
    };
    for (const OptionSpec& o : OptionTable()) {
        const std::string name = "--" + std::string(o.name);
        if (o.modes != 0)
            add("-A modes", "[" + name + "]=" + std::to_string(o.modes));
        else
            add("-a lone_options", name);
        if (o.kind == OptionSpec::File)
            add("-a file_options", name);
        if (o.kind == OptionSpec::Text)
            add("-a text_options", name);
        if (o.repeatable)
            add("-a repeatable_options", name);
    }
    std::string bash;
    for (const auto& [list, words] : lists)
        bash += "    local " + list + "=(" + words + ")\n";
    return bash;
}

} // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 4 ? argv[1] : "";
    std::map<std::string, std::string> parts; // the line in the template -> what replaces it
    if (kind == "man")
        parts = {{"@SYNOPSIS@\n", Synopsis()}, {"@OPTIONS@\n", Entries()}};
    else if (kind == "completion")
        parts = {{"@OPTIONS@\n", CompletionLists()}};
    else {
        std::cerr << "usage: qvn-build-docs man|completion TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::cerr << "qvn-build-docs: cannot read " << argv[2] << "\n";
        return 1;
    }
    std::string text(std::istreambuf_iterator<char>(in), {});
    for (const auto& [line, part] : parts) {
        const std::size_t at = text.find(line);
        if (at == text.npos) {
            std::cerr << "qvn-build-docs: " << argv[2] << " has no line " << line;
            return 1;
        }
        text.replace(at, line.size(), part);
    }
    const std::string version = "@PROJECT_VERSION@";
    for (std::size_t at = 0; (at = text.find(version, at)) != text.npos;)
        text.replace(at, version.size(), QVN_VERSION);
    std::ofstream out(argv[3], std::ios::binary);
    if (!(out << text && out.flush())) {
        std::cerr << "qvn-build-docs: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
