// Code page 932 conversions, the UTF-8 check and the error-box full-stop rule.
#include "Codec.h"

#include "Errors.h"

#include <gtest/gtest.h>

using namespace qvn;

TEST(Codec, ConvertsBothWaysWithTheMicrosoftTable) {
    EXPECT_EQ(Utf8ToCp932("ダ"), "\x83\x5F");
    EXPECT_EQ(Cp932ToUtf8("\x83\x5F"), "ダ");
    // Characters where code page 932 and plain Shift_JIS tables differ.
    EXPECT_EQ(Utf8ToCp932("～"), "\x81\x60"); // U+FF5E
    EXPECT_EQ(Utf8ToCp932("①"), "\x87\x40");  // NEC extension
    EXPECT_EQ(Utf8ToCp932("＼"), "\x81\x5F"); // U+FF3C
    EXPECT_EQ(Cp932ToUtf8("\x5C"), "\\");     // the ASCII half stays ASCII
}

// glibc's table and Windows' differ in ten characters; all other bytes and characters convert
// alike. glibc maps nine characters one way to look-alikes that decode as other characters;
// Windows calls those "best fit" and refuses them. Windows has the byte 0x80 as U+0080.
TEST(Codec, WhereTheTwoPlatformsTablesDiffer) {
    const struct {
        const char* utf8;
        const char* glibc; // the bytes, which decode as the character in the comment
    } oneWay[] = {
        {"¢", "\x81\x91"},  // ￠ U+FFE0
        {"£", "\x81\x92"},  // ￡ U+FFE1
        {"¥", "\x5C"},      // backslash
        {"¬", "\x81\xCA"},  // ￢ U+FFE2
        {"—", "\x81\x5C"},  // ― U+2015
        {"‖", "\x81\x61"},  // ∥ U+2225
        {"‾", "\x7E"},      // tilde
        {"−", "\x81\x7C"},  // － U+FF0D
        {"〜", "\x81\x60"}, // ～ U+FF5E
    };
    for (const auto& c : oneWay) {
        SCOPED_TRACE(c.utf8);
        EXPECT_NE(Cp932ToUtf8(c.glibc), c.utf8);
#ifdef _WIN32
        EXPECT_FALSE(Utf8ToCp932Exact(c.utf8).has_value());
        EXPECT_EQ(Utf8ToCp932(c.utf8), "?");
#else
        EXPECT_EQ(Utf8ToCp932Exact(c.utf8), std::optional<std::string>(c.glibc));
#endif
    }
#ifdef _WIN32
    EXPECT_EQ(Cp932ToUtf8Exact("\x80"), std::optional<std::string>("\xC2\x80"));
    EXPECT_EQ(Utf8ToCp932Exact("\xC2\x80"), std::optional<std::string>("\x80"));
#else
    EXPECT_EQ(Cp932ToUtf8("\x80"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToCp932("\xC2\x80"), "?");
#endif
}

TEST(Codec, TypedTextReplacesWhatCodePage932Lacks) {
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");               // one "?" for the whole 4-byte character
    EXPECT_EQ(Utf8ToCp932("Ω한"), "\x83\xB6?");         // Greek is there, Hangul is not
    EXPECT_EQ(Utf8ToCp932("\xEF\xBF\xBD"), "?");        // U+FFFD: the last lead of three bytes
    EXPECT_EQ(Utf8ToCp932("x\xFFy"), "x?y");            // malformed UTF-8
    EXPECT_EQ(Utf8ToCp932("\x80\x80\xC0\x80"), "????"); // stray trail bytes, no lead at C0
    EXPECT_EQ(Utf8ToCp932("\xE3\x81"), "??");           // truncated sequence at the end
    EXPECT_FALSE(Utf8ToCp932Exact("a😀b").has_value());
    EXPECT_EQ(Utf8ToCp932Exact("サイト"), std::optional<std::string>("\x83\x54\x83\x43\x83\x67"));
}

TEST(Codec, DisplayNeverFailsAndKeepsTheRestReadable) {
    EXPECT_EQ(Cp932ToUtf8("a\xA0z"), "a\xEF\xBF\xBDz");     // not a character
    EXPECT_EQ(Cp932ToUtf8("a\x81 z"), "a\xEF\xBF\xBD z");   // lead byte with a bad trail
    EXPECT_EQ(Cp932ToUtf8("a\x85\x40z"), "a\xEF\xBF\xBDz"); // unassigned pair: one mark
    EXPECT_EQ(Cp932ToUtf8("end\x83"), "end\xEF\xBF\xBD");   // lead byte at the very end
    EXPECT_EQ(Cp932ToUtf8("a\x85\xFCz"), "a\xEF\xBF\xBDz"); // the same, the last trail byte
    EXPECT_EQ(Cp932ToUtf8("\x85\x40"), "\xEF\xBF\xBD");     // and at the very end
    EXPECT_FALSE(Cp932ToUtf8Exact("a\xA0z").has_value());
}

TEST(Utf8Check, TellsAsciiValidUtf8AndOtherBytesApart) {
    EXPECT_EQ(ClassifyUtf8(""), Utf8Kind::Ascii);
    EXPECT_EQ(ClassifyUtf8("https://s1.example/?a=1,b"), Utf8Kind::Ascii);
    EXPECT_EQ(ClassifyUtf8("猫の手帖"), Utf8Kind::Utf8);
    EXPECT_EQ(ClassifyUtf8("a😀"), Utf8Kind::Utf8);               // four bytes, at the end
    EXPECT_EQ(ClassifyUtf8("\xF4\x8F\xBF\xBF"), Utf8Kind::Utf8); // U+10FFFF, the last
    EXPECT_EQ(ClassifyUtf8("\xDF\xBF"), Utf8Kind::Utf8);         // U+07FF, the last of two bytes
    EXPECT_EQ(ClassifyUtf8("\xE0\xA0\x80"), Utf8Kind::Utf8);     // U+0800, the first of three bytes
    EXPECT_EQ(ClassifyUtf8(Utf8ToCp932("猫の手帖")), Utf8Kind::NotUtf8); // code page 932
    // Half-width katakana "ﾃｽ" in code page 932 is 0xC3 0xBD, which is valid UTF-8 ("ý"): one
    // short field says little, so the windows decide on a whole file.
    EXPECT_EQ(ClassifyUtf8("\xC3\xBD"), Utf8Kind::Utf8);
}

TEST(Utf8Check, RefusesMalformedSequencesWherePresent) {
    for (const char* bad : {
             "\xE3\x81",         // cut short at the end
             "\x82",             // a trail byte alone: the other half of a sequence cut by a comma
             "\x80",             // the same, and the first byte that is not ASCII
             "\xE3\x81,\x82",    // the cut sequence with its comma
             "\xC0\xAF",         // overlong "/"
             "\xE0\x80\xAF",     // overlong "/" in three bytes
             "\xF0\x80\x80\xAF", // overlong in four bytes
             "\xED\xA0\x80",     // a surrogate
             "\xF4\x90\x80\x80", // above U+10FFFF
             "\xF5\x80\x80\x80", "\xFF",
             "\xE3\x41\x82", // a lead byte followed by ASCII
         }) {
        EXPECT_EQ(ClassifyUtf8(bad), Utf8Kind::NotUtf8) << testing::PrintToString(bad);
        // The same bytes after an ASCII run the check skips eight at a time, and before valid text.
        const std::string late = std::string("12345678abcdefg") + bad + "猫";
        EXPECT_EQ(ClassifyUtf8(late), Utf8Kind::NotUtf8) << testing::PrintToString(late);
    }
    // A lead byte as the last of an eight-byte block, its trail bytes in the next.
    EXPECT_EQ(ClassifyUtf8("1234567\xE7\x8C\xAB"
                           "89abcdef"),
              Utf8Kind::Utf8);
}

// The stop follows a letter, a digit or any character outside ASCII, never ".", ")", a space or
// a control character; the message's own words come first, the system's reason after the stop.
TEST(FullStop, FollowsTheLastCharacter) {
    for (const auto& [message, shown] : std::initializer_list<std::pair<const char*, const char*>>{
             {"", ""},
             {"abc", "abc."},
             {"9", "9."},
             {"done.", "done."},
             {"(3)", "(3)"},
             {"x ", "x "},
             {"x\n", "x\n"},
             {"x-", "x-"},  // 0x2D
             {"x/", "x/."}, // 0x2F is above the limit
             {"開けません", "開けません."},
             {"置換文字列 😀", "置換文字列 😀."},
         })
        EXPECT_EQ(WithFullStop(message), shown) << message;
}

TEST(FullStop, MessagesOfTheSystem) {
    const FileError open(FileError::Kind::Open, FilePath::FromNative("a.csv"));
    EXPECT_EQ(ErrorBoxText(open), "ファイル a.csv は開けません.");
    EXPECT_EQ(ErrorBoxText(ListIndexError(7)), "リストのインデックスが範囲を超えています (7)");
    EXPECT_EQ(ErrorBoxText(WriteError("No space left on device")),
              "ストリームへの書き込みエラー. (No space left on device)");
    EXPECT_EQ(ErrorBoxText(NoLinkDataError()), "リンクデータが読み込まれていません.");
    // A name is shown as it was given, whatever characters it holds.
    EXPECT_EQ(
        ErrorBoxText(FileError(FileError::Kind::Create, FilePath::FromNative("/tmp/サイト😀.html"))),
        "ファイル /tmp/サイト😀.html を作成できません.");
}
