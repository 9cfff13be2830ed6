#include "UProccess.h"

#include "Errors.h"
#include "UDec.h"

#include <array>
#include <vector>

namespace qvn {
namespace {

constexpr std::string_view kHead = "_HEAD_";
constexpr std::string_view kFrame = "_FRAME_";
constexpr std::string_view kFoot = "_FOOT_";

// Where the three sections of a template lie: the head is [headBegin, frameMarker), the frame
// [frameBegin, footMarker), the foot (footMarker, end).
struct Sections {
    int headBegin;
    int frameMarker;
    int footMarker;
};

// Scans with Get, so that a scan running past the last line fails with the list-index message
// naming the template's line count. The line after each marker always joins the next section
// before the end condition is looked at, so every section has at least one line.
Sections FindSections(const TStringList& t) {
    int i = -1;
    do
        ++i;
    while (t.Get(i) != kHead);
    Sections s{};
    s.headBegin = ++i;
    t.Get(i);
    do
        ++i;
    while (t.Get(i) != kFrame);
    s.frameMarker = i;
    t.Get(++i);
    do
        ++i;
    while (t.Get(i) != kFoot);
    s.footMarker = i;
    t.Get(i + 1);
    return s;
}

Tokens TokensOf(const TSetting& setting) {
    return {setting.Title, setting.URL, setting.Author, setting.Explain};
}

} // namespace

std::string ReplaceAt(std::string line, std::size_t position, std::string_view token,
                      std::string_view value) {
    line.replace(position - 1, token.size(), value);
    return line;
}

std::unique_ptr<TStringList> MakePage() {
    if (!Setting.LinkList)
        throw NoLinkDataError();
    return MakePage(FilePath::FromCp932(Setting.TemplatePath), *Setting.LinkList,
                    TokensOf(Setting));
}

std::unique_ptr<TStringList> MakePage(const FilePath& templatePath, const TStringList& linkList,
                                      const Tokens& tokens) {
    const int records = linkList.Count() / 4; // items past the last whole record are ignored

    TStringList t;
    t.LoadFromFile(templatePath);
    const Sections s = FindSections(t);

    std::vector<std::string_view> frame;
    std::size_t frameBytes = 0;
    for (int i = s.frameMarker + 1; i < s.footMarker; ++i) {
        frame.push_back(t.Get(i));
        frameBytes += frame.back().size();
    }

    // Size the page once: every record adds the frame, and each frame line gains at most one
    // copy of each of the record's fields.
    const int footBegin = s.footMarker + 1;
    const auto fixedLines = static_cast<std::size_t>(s.frameMarker - s.headBegin + t.Count() - footBegin);
    auto page = std::make_unique<TStringList>();
    page->Reserve(fixedLines + static_cast<std::size_t>(records) * frame.size(),
                  t.ByteSize() + static_cast<std::size_t>(records) * frameBytes +
                      frame.size() * linkList.ByteSize());

    for (int i = s.headBegin; i < s.frameMarker; ++i)
        page->Add(t.Get(i));

    const std::array<std::string_view, 4> token = {tokens.Title, tokens.URL, tokens.Author,
                                                   tokens.Explain};
    std::string line; // reused, so the body allocates nothing per line once it has grown
    for (int r = 0; r < records; ++r) {
        const TLinkRecord rec{linkList.Get(r * 4), linkList.Get(r * 4 + 1),
                              linkList.Get(r * 4 + 2), linkList.Get(r * 4 + 3)};
        const std::array<std::string_view, 4> value = {rec.SiteName, rec.URL, rec.Administrator,
                                                       rec.Description};
        for (std::string_view frameLine : frame) {
            line.assign(frameLine);
            // In token order, on the line as changed so far: a later token is found inside a
            // value inserted for an earlier one. Byte-wise, first occurrence only.
            for (std::size_t k = 0; k < token.size(); ++k) {
                if (token[k].empty())
                    continue; // an empty token never matches
                const std::size_t p = line.find(token[k]);
                if (p != std::string::npos)
                    line = ReplaceAt(std::move(line), p + 1, token[k], value[k]);
            }
            page->Add(line);
        }
    }

    for (int i = footBegin; i < t.Count(); ++i)
        page->Add(t.Get(i));
    return page;
}

} // namespace qvn
