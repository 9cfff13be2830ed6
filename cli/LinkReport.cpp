// The link check's report in text and JSON Lines (through nlohmann/json, which escapes what it
// writes), and its progress line.
#include "LinkReport.h"

#include "Codec.h"
#include "Url.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace qvn::cli {
namespace {

// Text for JSON, which is UTF-8: a URL listed in a Shift_JIS file is read as Shift_JIS, as the
// check reads its host name. What is UTF-8 already stays as it is.
std::string Utf8Text(const std::string& bytes) {
    return ClassifyUtf8(bytes) == Utf8Kind::NotUtf8 ? Cp932ToUtf8(bytes) : bytes;
}

std::string_view SeverityWord(Severity severity) {
    return severity == Severity::Error     ? "error"
           : severity == Severity::Warning ? "warning"
                                           : "note";
}

// The columns text takes on a terminal: two for each character outside ASCII (the Japanese ones
// this line holds are all wide).
std::size_t Columns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size(); i += Utf8CharLength(text.substr(i)))
        columns += static_cast<unsigned char>(text[i]) < 0x80 ? 1 : 2;
    return columns;
}

} // namespace

void LinkReport::Add(const std::string& file, long long line, const std::string& url,
                     const linkcheck::Outcome& outcome) {
    if (!json_) {
        const Finding finding = linkcheck::FindingOf(file, line, url, outcome);
        counts_.Add(finding.severity);
        Print(out_, finding);
        return;
    }
    const std::string listed = Utf8Text(url);
    const Finding finding = linkcheck::FindingOf(file, line, listed, outcome);
    counts_.Add(finding.severity);
    nlohmann::ordered_json object;
    object["file"] = file;
    object["line"] = line;
    object["url"] = linkcheck::WithoutPassword(listed);
    object["severity"] = SeverityWord(finding.severity);
    object["kind"] = finding.kind;
    object["status"] = outcome.status > 0 ? nlohmann::ordered_json(outcome.status) : nullptr;
    object["location"] =
        outcome.finalUrl.empty()
            ? nlohmann::ordered_json(nullptr)
            : nlohmann::ordered_json(linkcheck::WithoutPassword(Utf8Text(outcome.finalUrl)));
    object["message"] = finding.text;
    // A file name that is not UTF-8 gets U+FFFD where its bytes are not.
    out_ << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void LinkReport::End(std::size_t checked) {
    if (!json_) {
        if (counts_.Total() > 0)
            out_ << Summary(counts_) << "\n";
        return;
    }
    nlohmann::ordered_json summary;
    summary["error"] = counts_.errors;
    summary["warning"] = counts_.warnings;
    summary["note"] = counts_.notes;
    summary["checked"] = checked;
    nlohmann::ordered_json line;
    line["summary"] = summary;
    out_ << line.dump() << "\n";
}

ProgressLine::ProgressLine(std::ostream& err) : err_(err), start_(Clock::now()) {}

void ProgressLine::Show(std::size_t known, std::size_t total, const Counts& found) {
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - drawn_ < std::chrono::milliseconds(100))
        return;
    std::string text =
        "確認 " + std::to_string(known) + " / " + std::to_string(total) + " 件: " + Summary(found);
    drawn_ = now;
    if (text == last_)
        return;
    const std::size_t width = Columns(text);
    // Spaces over what a longer line before left.
    err_ << "\r" << text << std::string(width_ > width ? width_ - width : 0, ' ') << "\r";
    err_.flush();
    width_ = std::max(width_, width);
    last_ = std::move(text);
}

void ProgressLine::Clear() {
    if (width_ == 0)
        return;
    err_ << "\r" << std::string(width_, ' ') << "\r";
    err_.flush();
    width_ = 0;
    last_.clear();
}

} // namespace qvn::cli
