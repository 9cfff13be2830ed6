#include "UProccess.h"

#include "Errors.h"
#include "FileIO.h"
#include "Lines.h"
#include "UDec.h"

#include <array>
#include <vector>

namespace qvn {

std::string ReplaceAt(std::string line, std::size_t position, std::string_view token,
                      std::string_view value) {
    line.replace(position - 1, token.size(), value);
    return line;
}

namespace {

constexpr std::string_view kHead = "_HEAD_";
constexpr std::string_view kFrame = "_FRAME_";
constexpr std::string_view kFoot = "_FOOT_";
constexpr std::size_t kNoToken = 4;

// A template cut at its markers, ready to build pages from.
class PageTemplate {
public:
    // Loads and cuts the template (see MakePage for what it throws).
    explicit PageTemplate(const FilePath& path);

    // Hands emit every line of the page in order: the head, the frame once per whole record of
    // linkList (four items a record; items past the last whole record are ignored) with the
    // tokens replaced, then the foot.
    template <typename Emit>
    void Build(const TStringList& linkList, const Tokens& tokens, Emit&& emit) const;

    // Upper bounds of the page's lines and bytes for linkList, to size a buffer once.
    std::size_t MaxLines(const TStringList& linkList) const;
    std::size_t MaxBytes(const TStringList& linkList) const;

private:
    TStringList lines_;
    int headBegin_ = 0;   // the head is [headBegin_, frameMarker_)
    int frameMarker_ = 0; // the frame is (frameMarker_, footMarker_)
    int footMarker_ = 0;  // the foot is (footMarker_, end)
};

Tokens TokensOf(const TSetting& setting) {
    return {setting.Title, setting.URL, setting.Author, setting.Explain};
}

PageTemplate::PageTemplate(const FilePath& path) {
    lines_.LoadFromFile(path);
    // Every scan reads with Get, so one that runs past the last line fails with the list-index
    // message naming the template's line count.
    const TStringList& t = lines_;
    int i = -1;
    do
        ++i;
    while (t.Get(i) != kHead);
    headBegin_ = ++i;
    t.Get(i);
    do
        ++i;
    while (t.Get(i) != kFrame);
    frameMarker_ = i;
    t.Get(++i);
    do
        ++i;
    while (t.Get(i) != kFoot);
    footMarker_ = i;
    t.Get(i + 1);
}

template <typename Emit>
void PageTemplate::Build(const TStringList& linkList, const Tokens& tokens, Emit&& emit) const {
    for (int i = headBegin_; i < frameMarker_; ++i)
        emit(lines_.Get(i));

    const std::array<std::string_view, 4> token = {tokens.Title, tokens.URL, tokens.Author,
                                                   tokens.Explain};
    // Tokens are replaced in order on the line as changed so far, so a later token is also
    // found inside a value inserted for an earlier one. Until the first replacement the line is
    // the frame line itself: where its first token stands is found once, not once a record.
    struct FrameLine {
        std::string_view text;
        std::size_t first = kNoToken; // the first token found in text, if any
        std::size_t position = 0;     // and where
    };
    std::vector<FrameLine> frame;
    for (int f = frameMarker_ + 1; f < footMarker_; ++f) {
        FrameLine line{lines_.Get(f)};
        for (std::size_t k = 0; k < token.size() && line.first == kNoToken; ++k) {
            const std::size_t p = token[k].empty() ? std::string_view::npos // never matches
                                                   : line.text.find(token[k]);
            if (p != std::string_view::npos)
                line = {line.text, k, p};
        }
        frame.push_back(line);
    }

    const int records = linkList.Count() / 4;
    std::string line; // reused: once grown, the body allocates nothing per line
    for (int r = 0; r < records; ++r) {
        const TLinkRecord rec{linkList.Get(r * 4), linkList.Get(r * 4 + 1), linkList.Get(r * 4 + 2),
                              linkList.Get(r * 4 + 3)};
        const std::array<std::string_view, 4> value = {rec.SiteName, rec.URL, rec.Administrator,
                                                       rec.Description};
        for (const FrameLine& f : frame) {
            if (f.first == kNoToken) {
                emit(f.text); // no token in it
                continue;
            }
            line.assign(f.text);
            line = ReplaceAt(std::move(line), f.position + 1, token[f.first], value[f.first]);
            // Byte-wise, with no double-byte awareness; first occurrence only.
            for (std::size_t k = f.first + 1; k < token.size(); ++k) {
                if (token[k].empty())
                    continue;
                const std::size_t p = line.find(token[k]);
                if (p != std::string::npos)
                    line = ReplaceAt(std::move(line), p + 1, token[k], value[k]);
            }
            emit(line);
        }
    }

    for (int i = footMarker_ + 1; i < lines_.Count(); ++i)
        emit(lines_.Get(i));
}

std::size_t PageTemplate::MaxLines(const TStringList& linkList) const {
    const auto records = static_cast<std::size_t>(linkList.Count() / 4);
    const auto fixed =
        static_cast<std::size_t>(frameMarker_ - headBegin_ + lines_.Count() - footMarker_ - 1);
    return fixed + records * static_cast<std::size_t>(footMarker_ - frameMarker_ - 1);
}

std::size_t PageTemplate::MaxBytes(const TStringList& linkList) const {
    // Each frame line gains at most one copy of each of a record's fields.
    std::size_t frameBytes = 0;
    for (int f = frameMarker_ + 1; f < footMarker_; ++f)
        frameBytes += lines_.Get(f).size();
    const auto records = static_cast<std::size_t>(linkList.Count() / 4);
    const auto frameLines = static_cast<std::size_t>(footMarker_ - frameMarker_ - 1);
    return lines_.ByteSize() + records * frameBytes + frameLines * linkList.ByteSize();
}

// The page of t, line by line, into sink.
void EmitPage(const PageTemplate& t, const TStringList& linkList, const Tokens& tokens,
              const ByteSink& sink) {
    CrLfWriter writer(sink);
    t.Build(linkList, tokens, [&writer](std::string_view line) { writer.Line(line); });
    writer.Flush();
}

} // namespace

std::unique_ptr<TStringList> MakePage() {
    return MakePage(FilePath::FromCp932(Setting.TemplatePath));
}

std::unique_ptr<TStringList> MakePage(const FilePath& templatePath) {
    if (!Setting.LinkList)
        throw NoLinkDataError();
    return MakePage(templatePath, *Setting.LinkList, TokensOf(Setting));
}

std::unique_ptr<TStringList> MakePage(const FilePath& templatePath, const TStringList& linkList,
                                      const Tokens& tokens) {
    const PageTemplate t(templatePath);
    auto page = std::make_unique<TStringList>();
    page->Reserve(t.MaxLines(linkList), t.MaxBytes(linkList));
    t.Build(linkList, tokens, [&page](std::string_view line) { page->Add(line); });
    return page;
}

void MakePageToFile(const FilePath& templatePath, const TStringList& linkList, const Tokens& tokens,
                    const FilePath& output) {
    const PageTemplate t(templatePath);
    ReplaceFile(output, [&](const ByteSink& sink) { EmitPage(t, linkList, tokens, sink); });
}

void MakePageToStream(const FilePath& templatePath, const TStringList& linkList,
                      const Tokens& tokens, std::ostream& out) {
    const PageTemplate t(templatePath);
    WriteStream(out, [&](const ByteSink& sink) { EmitPage(t, linkList, tokens, sink); });
}

} // namespace qvn
