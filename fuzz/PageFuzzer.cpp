// The page builder: a template, link data and tokens, all taken from the input, give the page
// that the reference builds, or fail where the reference fails, with the template's line count.
// The records come once from the data file as it is read and once from a loaded flat field list
// with a few items left over past its last whole record; both pages must be the same.
//
// Input: parts cut at a pair of NUL bytes (see Parts): the template, the link data, then up to
// four tokens in their order (_TITLE_, _URL_, _AUTHOR_, _EXPLAIN_ stand for any not given).
#include "Codec.h"
#include "Errors.h"
#include "FuzzSupport.h"
#include "Reference.h"
#include "UInCSV.h"
#include "UProccess.h"

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
    return Utf8ToCp932("リストのインデックスが範囲を超えています (") + std::to_string(count) + ")";
}

std::string Built(const TPageTemplate& page, LinkSource& links, const Tokens& tokens) {
    std::ostringstream out;
    WritePage(page, links, tokens, out);
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
    const auto expected = ref::Page(templateLines, records, refTokens);

    const std::string templatePath = Scratch().Path("template.html");
    const std::string dataPath = Scratch().Path("links.csv");
    WriteFile(templatePath, templateText);
    WriteFile(dataPath, linkData);

    std::optional<TPageTemplate> page;
    try {
        page.emplace(FilePath::FromNative(templatePath));
    } catch (const ListIndexError& e) {
        QVN_CHECK(!expected);
        QVN_CHECK(e.Message() == ListIndexMessage(templateLines.size()));
        return 0;
    }
    QVN_CHECK(expected);
    const std::string want = ref::CrLfText(*expected);

    LinkReader reader(FilePath::FromNative(dataPath));
    QVN_CHECK(Built(*page, reader, tokens) == want);

    TStringList list;
    QVN_CHECK(ReadCSV(list, FilePath::FromNative(dataPath), 4) == static_cast<int>(records.size()));
    for (std::size_t extra = size % 4; extra > 0; --extra)
        list.Add("_TITLE_ left over");
    ListLinks links(list);
    QVN_CHECK(Built(*page, links, tokens) == want);

    // The template is cut once: a second page from it is the same.
    ListLinks again(list);
    QVN_CHECK(Built(*page, again, tokens) == want);
    return 0;
}
