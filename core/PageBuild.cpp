// The build recipe: the inputs opened and read once, the check over what was read, the safe save.
#include "PageBuild.h"

#include "Errors.h"
#include "FileIO.h"
#include "FileIdentity.h"
#include "TokenText.h"

namespace qvn {

PageBuild::PageBuild(const FilePath& data, const FilePath& templ, const Tokens& tokens)
    : PageBuild(nullptr, data, templ, tokens) {}

PageBuild::PageBuild(const TLinkTable& links, const FilePath& dataFile, const FilePath& templ,
                     const Tokens& tokens)
    : PageBuild(&links, dataFile, templ, tokens) {}

// The data file is opened before the template is read, so that of two bad inputs the data is
// named first.
PageBuild::PageBuild(const TLinkTable* table, const FilePath& data, const FilePath& templ,
                     const Tokens& tokens)
    : data_(data), templ_(templ), table_(table),
      reader_(table ? std::optional<LinkReader>() : std::optional<LinkReader>(std::in_place, data)),
      text_(ReadText(templ, size_)), page_(text_), typed_(tokens),
      tokens_(TokensForTemplate(tokens, page_.Encoding())) {}

Findings PageBuild::Check(const check::TokenNames& names) const {
    // The link list as it stands: unchanged, the bytes the table read, with no copy; edited,
    // written out once.
    std::string written;
    std::optional<std::string_view> data;
    if (table_) {
        if (const std::string* read = table_->TextAsRead()) {
            data = *read;
        } else {
            table_->Write([&written](std::string& block) {
                written += block;
                block.clear();
            });
            data = written;
        }
    }
    return check::CheckInputs({data_.Display(), data}, {templ_.Display(), text_, size_}, typed_,
                              names);
}

Findings PageBuild::CheckTemplate(const check::TokenNames& names) const {
    return check::CheckTemplateOnly({templ_.Display(), text_, size_}, typed_, names);
}

void PageBuild::Make(const ByteSink& sink) {
    std::optional<TableLinks> edited;
    LinkSource& links = table_ ? static_cast<LinkSource&>(edited.emplace(*table_))
                               : static_cast<LinkSource&>(*reader_);
    MakePage(page_, links, tokens_, sink);
}

void PageBuild::Save(const FilePath& output) {
    if (!CanBuild())
        throw page_.CutFailure();
    RefuseInputAsOutput(output, &data_, templ_);
    ReplaceFile(output, [this](const ByteSink& sink) { Make(sink); });
}

void PageBuild::Write(std::ostream& out) {
    if (!CanBuild())
        throw page_.CutFailure();
    for (const FilePath* input : {&data_, &templ_}) {
        if (IsStandardOutput(*input))
            RefuseInputAsOutput(*input, &data_, templ_);
    }
    WriteStream(out, [this](const ByteSink& sink) { Make(sink); });
}

} // namespace qvn
