// qvn-build's option table against the texts written from it by hand: every option of the table,
// and no other, is in the manual page's option list with its value's name, and in the bash
// completion with the modes it belongs to, its kind of value and whether it repeats; the values
// an option takes are those its refusal names.
#include "Options.h"

#include <algorithm>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qvn::cli::OptionSpec;
using qvn::cli::OptionTable;

std::string ReadSource(const std::string& name) {
    std::ifstream in(std::string(QVN_SOURCE_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "--name" for each option of the table, with what is asked of it.
template <typename What> std::map<std::string, What> FromTable(What (*what)(const OptionSpec&)) {
    std::map<std::string, What> all;
    for (const OptionSpec& o : OptionTable())
        all["--" + std::string(o.name)] = what(o);
    return all;
}

// The words of a bash array: local -a NAME=(--a --b).
std::set<std::string> BashArray(const std::string& script, const std::string& name) {
    const std::regex array("local -a " + name + "=\\(([^)]*)\\)");
    std::smatch m;
    EXPECT_TRUE(std::regex_search(script, m, array)) << name;
    std::istringstream words(m[1].str());
    std::set<std::string> all;
    for (std::string word; words >> word;)
        all.insert(word);
    return all;
}

TEST(OptionTable, ManualPageListsEveryOptionWithItsValue) {
    // In the OPTIONS section, each entry's tag: ".B \-\-check" or ".BI \-\-data " DATA"".
    const std::string page = ReadSource("cli/qvn-build.1.in");
    const std::size_t start = page.find("\n.SH OPTIONS\n");
    ASSERT_NE(start, std::string::npos);
    const std::string section = page.substr(start, page.find("\n.SH ", start + 1) - start);
    const std::regex tag(R"re(\n\.TP\n\.BI? \\-\\-([a-z\\-]+)(?: "\s*([^"]*)")?)re");
    std::map<std::string, std::string> listed;
    for (std::sregex_iterator it(section.begin(), section.end(), tag), end; it != end; ++it) {
        const std::string name = std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-");
        EXPECT_TRUE(listed.emplace("--" + name, (*it)[2].str()).second) << name;
    }
    EXPECT_EQ(listed,
              FromTable<std::string>([](const OptionSpec& o) { return std::string(o.value); }));
}

TEST(OptionTable, CompletionKnowsEveryOptionItsModesAndItsValue) {
    const std::string script = ReadSource("cli/qvn-build.bash-completion");
    std::map<std::string, unsigned> modes;
    const std::regex entry(R"(\[(--[a-z-]+)\]=([0-9]+))");
    for (std::sregex_iterator it(script.begin(), script.end(), entry), end; it != end; ++it)
        modes[(*it)[1].str()] = static_cast<unsigned>(std::stoul((*it)[2].str()));
    std::map<std::string, unsigned> expected =
        FromTable<unsigned>([](const OptionSpec& o) { return o.modes; });
    std::set<std::string> lone;
    for (auto it = expected.begin(); it != expected.end();) {
        if (it->second == 0) { // --help, --version
            lone.insert(it->first);
            it = expected.erase(it);
        } else {
            ++it;
        }
    }
    EXPECT_EQ(modes, expected);
    EXPECT_EQ(BashArray(script, "lone_options"), lone);

    std::set<std::string> files, texts, repeatable;
    for (const OptionSpec& o : OptionTable()) {
        const std::string name = "--" + std::string(o.name);
        if (o.kind == OptionSpec::File)
            files.insert(name);
        else if (o.kind == OptionSpec::Text)
            texts.insert(name);
        if (o.repeatable)
            repeatable.insert(name);
    }
    EXPECT_EQ(BashArray(script, "file_options"), files);
    EXPECT_EQ(BashArray(script, "text_options"), texts);
    EXPECT_EQ(BashArray(script, "repeatable_options"), repeatable);
}

// Each value check takes the edges of what its message names and refuses what lies past them.
TEST(OptionTable, ValuesAreTakenUpToTheEdgesTheMessageNames) {
    const struct {
        const char* option;
        std::vector<std::string> taken, refused;
    } cases[] = {
        {"jobs", {"1", "1024"}, {"0", "1025", "-1", "4x", ""}},
        {"timeout", {"0.5", "3600", "20"}, {"0", "3600.5", ".", "1.2.3", "-1", ""}},
        {"resolve",
         {"a.test:443:127.0.0.1", "a:1:127.0.0.1", "a.test:65535:::1"},
         {":443:127.0.0.1", "a.test:0:127.0.0.1", "a.test:65536:127.0.0.1",
          "a.test:443:", "a.test:443", "a.test:x:127.0.0.1"}},
    };
    for (const auto& c : cases) {
        const auto entry =
            std::ranges::find(OptionTable(), std::string_view(c.option), &OptionSpec::name);
        ASSERT_NE(entry, OptionTable().end()) << c.option;
        ASSERT_NE(entry->validate, nullptr) << c.option;
        for (const std::string& value : c.taken)
            EXPECT_EQ(entry->validate(value), std::nullopt) << c.option << " " << value;
        for (const std::string& value : c.refused)
            EXPECT_NE(entry->validate(value), std::nullopt) << c.option << " " << value;
    }
}

} // namespace
