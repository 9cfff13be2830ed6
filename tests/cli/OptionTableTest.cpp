// qvn-build's option table: the values an option takes are those its refusal names. (The manual
// page and the completion are written from the table by the build.)
#include "Options.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using qvn::cli::OptionSpec;
using qvn::cli::OptionTable;

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
