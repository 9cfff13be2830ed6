// The page build: a template, link data and tokens, all taken from the input, give the page that
// the reference builds, or fail where the reference fails, with the template's line count. The
// records come once from the data file as it is read (qvn-build) and once from the table a load
// makes (the windows); both pages must be the same.
//
// Input: parts cut at a pair of NUL bytes (see Parts): the template, the link data, then up to
// four tokens in their order (_TITLE_, _URL_, _AUTHOR_, _EXPLAIN_ stand for any not given).
#include "Codec.h"
#include "Errors.h"
#include "FuzzSupport.h"
#include "PageBuild.h"
#include "Reference.h"
#include "TokenText.h"

#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace qvn;
using namespace qvn::fuzz;

// A page grows with the records times the template: beyond this many bytes of that product an
// input would only make the run slow, not find more.
constexpr std::size_t kMaxWork = std::size_t{1} << 22;

std::string ListIndexMessage(std::size_t count) {
    return "リストのインデックスが範囲を超えています (" + std::to_string(count) + ")";
}

std::string Built(PageBuild build) {
    std::ostringstream out;
    build.Write(out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = Parts(data, size);
    const std::string& templateText = parts[0];
    const std::string linkData = parts.size() > 1 ? parts[1] : std::string();
    Tokens tokens = DefaultTokens();
    std::array<std::string, 4> refTokens;
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (k + 2 < parts.size())
            tokens[k] = parts[k + 2];
        refTokens[k] = tokens[k];
    }

    const std::vector<std::string> templateLines = ref::Lines(templateText);
    const std::vector<ref::Record> records = ref::Records(linkData);
    if (records.size() * (templateText.size() + linkData.size()) > kMaxWork)
        return 0;

    const std::string templatePath = Scratch().Path("template.html");
    const std::string dataPath = Scratch().Path("links.csv");
    WriteFile(templatePath, templateText);
    WriteFile(dataPath, linkData);
    const FilePath templ = FilePath::FromNative(templatePath);
    const FilePath file = FilePath::FromNative(dataPath);

    // The tokens take the template's encoding; one it cannot hold stops the build at once.
    TStringList lines;
    lines.LoadFromText(templateText);
    try {
        const Tokens converted = TokensForTemplate(tokens, JudgeEncoding(lines));
        std::copy(converted.begin(), converted.end(), refTokens.begin());
    } catch (const Error&) {
        bool refused = false;
        try {
            PageBuild(file, templ, tokens);
        } catch (const Error&) {
            refused = true;
        }
        QVN_CHECK(refused);
        return 0;
    }
    const auto expected = ref::Page(templateLines, records, refTokens);
    if (!expected) {
        try {
            Built(PageBuild(file, templ, tokens));
            QVN_CHECK(false);
        } catch (const ListIndexError& e) {
            QVN_CHECK(e.Message() == ListIndexMessage(templateLines.size()));
        }
        return 0;
    }
    const std::string want = ref::CrLfText(*expected);
    QVN_CHECK(Built(PageBuild(file, templ, tokens)) == want);
    const TLinkTable table = ReadCSV(file);
    QVN_CHECK(table.Count() == static_cast<int>(records.size()));
    QVN_CHECK(Built(PageBuild(table, file, templ, tokens)) == want);
    return 0;
}
