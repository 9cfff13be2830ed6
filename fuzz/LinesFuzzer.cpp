// Line splitting: any bytes become the same lines whether a list loads them from a file or a line
// reader takes them from a source a few bytes at a time, across the edge of the reader's block;
// and lines saved as a page is saved and loaded again give the same items, each saved with CR LF
// after it.
//
// Input: two control bytes, then the text.
//   byte 0, bits 0-2: how many bytes the source hands out at a time (1 to all it is asked for);
//           bits 3-6: 13, 14 or 15 put a long first line before the text so that the text starts
//           just before the end of the reader's first block: the long line ends in LF (13), runs
//           on into the text's first line (14), or ends in CR (15). Rare on purpose: a megabyte
//           more to read slows a run down a great deal.
//   byte 1, bit 0: also save the list, and load it again;
//           bits 1-2: how many bytes of the text come before the block's end (0 to 3).
#include "Errors.h"
#include "FileIO.h"
#include "FuzzSupport.h"
#include "Lines.h"
#include "Reference.h"
#include "StringList.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace qvn;
using namespace qvn::fuzz;

// The size of the line reader's buffer before it first grows.
constexpr std::size_t kReaderBlock = std::size_t{1} << 20;

// A prefix handed out whole, then the text in steps of a given size.
class SteppedSource final : public ByteSource {
public:
    SteppedSource(std::string_view prefix, std::string_view text, std::size_t step)
        : prefix_(prefix), text_(text), step_(step) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        std::string_view& from = prefix_.empty() ? text_ : prefix_;
        const std::size_t n = std::min({size, from.size(), prefix_.empty() ? step_ : size});
        from.copy(buffer, n);
        from.remove_prefix(n);
        return n;
    }

private:
    std::string_view prefix_;
    std::string_view text_;
    std::size_t step_;
};

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i)
        items.emplace_back(list.Get(i));
    return items;
}

void CheckGetOutside(const TStringList& list) {
    for (const int bad : {-1, list.Count()}) {
        try {
            list.Get(bad);
            QVN_FAIL("Get outside the list gave an item");
        } catch (const ListIndexError&) {
        }
    }
}

// The line reader over the prefix and the text, against the expected lines; the first of them
// is `lead` followed by expected[0] (so that a line of a megabyte is not copied to be compared).
void CheckReader(std::string_view prefix, std::string_view text, std::size_t step,
                 std::string_view lead, const std::vector<std::string>& expected) {
    SteppedSource source(prefix, text, step);
    LineReader reader(source);
    std::size_t n = 0;
    for (std::string_view line; reader.Next(line); ++n) {
        QVN_CHECK(n < expected.size());
        if (n == 0) {
            QVN_CHECK(line.starts_with(lead));
            line.remove_prefix(lead.size());
        }
        QVN_CHECK(line == expected[n]);
    }
    QVN_CHECK(n == expected.size());
    std::string_view after;
    QVN_CHECK(!reader.Next(after)); // the end stays the end
}

// The text after a long first line that makes it start `before` bytes ahead of the end of the
// reader's first block: the lines the reader must give, built without splitting the long line.
void CheckAcrossTheBlockEdge(std::string_view text, std::size_t step, int kind,
                             std::size_t before) {
    static const std::string xs(kReaderBlock, 'x');
    static std::string prefix;
    const std::size_t start = kReaderBlock - before;
    prefix.assign(xs, 0, start);
    std::vector<std::string> expected;
    std::string_view lead;
    if (kind == 14) { // the long line runs on into the text's first line
        lead = std::string_view(xs).substr(0, start);
        expected = ref::Lines(text);
        if (expected.empty()) // the text ends at once: the long line is all
            expected.emplace_back();
    } else {
        lead = std::string_view(xs).substr(0, start - 1);
        prefix.back() = kind == 13 ? '\n' : '\r';
        // A CR at the block's end and an LF right after it are one break.
        expected = ref::Lines(kind == 15 && text.starts_with('\n') ? text.substr(1) : text);
        expected.insert(expected.begin(), std::string());
    }
    CheckReader(prefix, text, step, lead, expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const unsigned control = data[0];
    const bool save = (data[1] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    static constexpr std::size_t kSteps[] = {1, 2, 3, 4, 7, 8, 13, std::size_t{1} << 30};
    const std::size_t step = kSteps[control & 7];
    const int kind = static_cast<int>((control >> 3) & 15);
    const std::size_t before = (data[1] >> 1) & 3;

    const std::vector<std::string> lines = ref::Lines(text);

    // From a file, into a list.
    const std::string in = Scratch().Path("in.txt");
    WriteFile(in, text);
    TStringList list;
    list.Add("replaced");
    std::uint64_t listSize = 0;
    list.LoadFromText(ReadText(FilePath::FromNative(in), listSize));
    QVN_CHECK(Items(list) == lines);
    CheckGetOutside(list);

    // From a source, in steps.
    CheckReader({}, text, step, {}, lines);
    if (kind >= 13)
        CheckAcrossTheBlockEdge(text, step, kind, before);

    // Saved and loaded again; the save replaces the file it writes, and leaves no other.
    if (save) {
        const std::string out = Scratch().Path("out.txt");
        ReplaceFile(FilePath::FromNative(out), [&list](const ByteSink& sink) {
            CrLfWriter writer(sink);
            for (int i = 0; i < list.Count(); ++i)
                writer.Line(list.Get(i));
            writer.Flush();
        });
        QVN_CHECK(ReadFile(out) == ref::CrLfText(lines));
        TStringList back;
        std::uint64_t backSize = 0;
        back.LoadFromText(ReadText(FilePath::FromNative(out), backSize));
        QVN_CHECK(Items(back) == lines);
        QVN_CHECK(!HoldsTemporaryFile(Scratch().Dir()));
    }
    return 0;
}
