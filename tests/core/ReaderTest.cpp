// The link data reader: how lines split into four fields, read whole or record by record.
#include "Codec.h"
#include "Errors.h"
#include "TempDir.h"
#include "UInCSV.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct Read {
    int records;
    std::vector<std::string> items;
};

Read ReadBytes(const std::string& bytes) {
    TempDir dir;
    const TLinkTable table = ReadCSV(AsPath(dir.Write("d.csv", bytes)));
    Read r{table.Count(), {}};
    for (int row = 0; row < table.Count(); ++row) {
        for (const std::string_view field : table.Fields(row))
            r.items.emplace_back(field);
    }
    return r;
}

std::vector<std::string> Fields(const std::string& line) {
    return ReadBytes(line + "\n").items;
}

} // namespace

TEST(ReadCSV, SplitsAtTheFirstThreeCommas) {
    EXPECT_THAT(Fields("a,b,c,d"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(Fields("a,b,c,d,e"), ElementsAre("a", "b", "c", "d,e"));
    EXPECT_THAT(Fields(",,,"), ElementsAre("", "", "", ""));
    EXPECT_THAT(Fields("a,,c,d"), ElementsAre("a", "", "c", "d"));
}

TEST(ReadCSV, ShortLinesPutTheirRestInTheLastField) {
    EXPECT_THAT(Fields("a,b"), ElementsAre("a", "", "", "b"));
    EXPECT_THAT(Fields("a"), ElementsAre("", "", "", "a"));
    EXPECT_THAT(Fields(""), ElementsAre("", "", "", ""));
    EXPECT_THAT(Fields("a,b,c"), ElementsAre("a", "b", "", "c"));
}

TEST(ReadCSV, NoQuotingNoTrimmingNoCharacterSet) {
    EXPECT_THAT(Fields("\"x\",y,z,w"), ElementsAre("\"x\"", "y", "z", "w"));
    EXPECT_THAT(Fields(" a , b,c ,d "), ElementsAre(" a ", " b", "c ", "d "));
    // 0x83 0x2C would be no character; a comma byte always separates, even after a lead byte.
    EXPECT_THAT(Fields("\x83\x54\x83\x43\x83\x67,\x83,b,c"),
                ElementsAre("\x83\x54\x83\x43\x83\x67", "\x83", "b", "c"));
}

TEST(ReadCSV, ReturnsOneRecordPerLine) {
    const Read three = ReadBytes("a,b,c,d\r\ne,f,g,h\r\ni,j,k,l\r\n");
    EXPECT_EQ(three.records, 3);
    EXPECT_THAT(three.items,
                ElementsAreArray({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}));
    const Read extra = ReadBytes("a,b,c,d\ne,f,g,h\ni,j,k,l\n\n");
    EXPECT_EQ(extra.records, 4);
    EXPECT_EQ(extra.items.size(), 16u);
    const Read empty = ReadBytes("");
    EXPECT_EQ(empty.records, 0);
    EXPECT_THAT(empty.items, IsEmpty());
}

TEST(ReadCSV, AMissingFileIsNamed) {
    TempDir dir;
    const std::string path = dir.Path("none.csv");
    try {
        ReadCSV(AsPath(path));
        FAIL() << "read a missing file";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + path + " は開けません");
    }
}

TEST(LinkReader, GivesTheRecordsOfReadCSVOneAtATime) {
    // Past the reader's first block, with every kind of line among the lines.
    std::string bytes;
    for (int i = 0; i < 40000; ++i)
        bytes += "site" + std::to_string(i) + ",https://example.com/" + std::to_string(i) +
                 ",admin,about " + std::to_string(i) + ", and more\r\n";
    bytes += "a,b\n\n,,,\rlast";
    TempDir dir;
    const FilePath path = AsPath(dir.Write("d.csv", bytes));
    const TLinkTable table = ReadCSV(path);
    const int records = table.Count();

    LinkReader reader(path);
    TLinkRecord record;
    int r = 0;
    for (; reader.Next(record); ++r) {
        ASSERT_LT(r, records);
        for (std::size_t k = 0; k < kLinkFields; ++k)
            ASSERT_EQ(record[k], table.Fields(r)[k]) << r << " " << k;
    }
    EXPECT_EQ(r, records);
    EXPECT_EQ(records, 40004);
    EXPECT_FALSE(reader.Next(record));

    EXPECT_THROW(LinkReader(AsPath(dir.Path("none.csv"))), FileError);
}
