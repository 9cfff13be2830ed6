// qvn-build's options, one table: it drives the parser, the usage forms and --help, and the build
// writes the manual page's synopsis and options and the bash completion's lists from it
// (GenerateDocs.cpp).
#pragma once

#include "Links.h"

#include <array>
#include <iosfwd>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::cli {

// The token options without their "--", indexed by LinkField.
inline constexpr std::array<std::string_view, kLinkFields> kTokenOptions = {"title", "url",
                                                                            "author", "explain"};

// What a command line asks for: a page, the check of the inputs, or the check of the links.
enum class Mode { Build, Check, CheckLinks };

struct OptionSpec {
    // How the option is given, and for the completion what its value is.
    enum Kind {
        Switch, // no value; chooses its mode (--check), or stands alone (--help)
        Flag,   // no value; changes what its mode does (--fix-moved)
        File,   // a file name
        Text,   // free text (a token, a number, a host entry)
    };
    std::string_view name;  // without "--"
    std::string_view value; // the value's name in the usage ("DATA"); empty for a switch
    Kind kind;
    // The modes the option belongs to, as bits of 1 << Mode. A switch that belongs to one mode
    // only chooses it (--check, --check-links); --help and --version belong to none.
    unsigned modes;
    unsigned required;  // the modes in which it must be given
    bool repeatable;    // may be given more than once
    std::string help;   // for --help; lines after the first are indented under it
    std::string manual; // the manual page's entry under the option's name, in roff
    // Whether a value is good, and when not, why (after "option '--NAME' ").
    std::optional<std::string> (*validate)(std::string_view value);
};

// Every option, in the order of --help.
std::span<const OptionSpec> OptionTable();

// A mode's usage form in its order: the switch that chooses the mode (none for a build), the
// options the mode requires, then the others it takes.
std::vector<const OptionSpec*> UsageForm(Mode mode);

struct Options {
    bool help = false;    // --help came first of --help and --version
    bool version = false; // --version came first
    Mode mode = Mode::Build;
    std::map<std::string, std::string> values;             // name without "--" -> value
    std::map<std::string, std::vector<std::string>> lists; // every value of a repeatable option
};

// Parses "--name value" and "--name=value". A value is taken as it stands, whatever it looks
// like; "--help" and "--version" count only in the place of an option, and win over any mistake
// in the others. Returns nullopt (after writing why and the usage to err) on wrong usage.
std::optional<Options> Parse(const std::vector<std::string>& args, std::ostream& err);

// The usage forms, "usage: " before the first, and the summary of every option.
void PrintHelp(std::ostream& out);

} // namespace qvn::cli
