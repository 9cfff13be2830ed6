// The link check's reading of a page, rule by rule: the body's bound and its decompression, the
// charset, the title and heading; then what the rules of link-health.txt make of a page, and
// when two titles name two sites.
#include "Errors.h"
#include "Health.h"
#include "LinkCheckSupport.h"
#include "Page.h"

#include <gtest/gtest.h>

namespace {

using namespace qvn::linkcheck;
using qvn::test::links::Compress;

TEST(LinkPage, TheBodyIsDecodedWithinItsBound) {
    const std::string page = "<title>Zipped</title>" + std::string(1000, ' ');
    const std::string bomb = Compress(std::string(100 << 20, '\0'), 31); // 100 MiB of zeros
    const struct {
        const char* what;
        std::string encoding, sent, bytes;
        bool cut;
    } cases[] = {
        {"plain", "", page, page, false},
        {"gzip", "gzip", Compress(page, 31), page, false},
        {"zlib deflate", "Deflate", Compress(page, 15), page, false},
        {"raw deflate", "deflate", Compress(page, -15), page, false},
        {"unknown encoding taken as it is", "br", "abc", "abc", false},
        {"endless body", "", std::string(kPageBytes + 5, 'x'), std::string(kPageBytes, 'x'), true},
        {"gzip bomb", "x-gzip", bomb, std::string(kPageBytes, '\0'), true},
        {"broken gzip", "gzip", std::string("\x1F\x8B\x09\0\0\0\0\0\0\x03garbage", 17), "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BodyStart body(c.encoding);
        // In pieces, as a transfer hands them over.
        for (std::size_t at = 0; at < c.sent.size(); at += 1000)
            body.Take(std::string_view(c.sent).substr(at, 1000));
        EXPECT_EQ(body.Bytes(), c.bytes);
        EXPECT_EQ(body.Cut(), c.cut);
    }
}

TEST(LinkPage, TheTitleIsReadInThePagesOwnCharset) {
    const std::string neko = "猫の手帳"; // in code page 932, EUC-JP and ISO-2022-JP below
    const std::string sjis = "\x94\x4c\x82\xcc\x8e\xe8\x92\xa0";
    const std::string euc = "\xc7\xad\xa4\xce\xbc\xea\xc4\xa2";
    const std::string jis = "\x1b$BG-$N<jD\"\x1b(B";
    const std::string hugeCharset = std::string(1 << 20, 'x');
    const struct {
        const char* what;
        std::string body, contentType, title;
    } cases[] = {
        {"UTF-8 by its bytes", "<title>" + neko + "</title>", "", neko},
        {"Shift_JIS by its bytes", "<title>" + sjis + "</title>", "text/html", neko},
        {"EUC-JP by its bytes", "<TITLE>" + euc + "</TITLE>", "", neko},
        {"ISO-2022-JP by its bytes", "<title>" + jis + "</title>", "", neko},
        {"ISO-2022-JP's last byte of a row, 0x7E", "<title>\x1b$B0~\x1b(B</title>", "", "蔭"},
        {"the header's charset", "<title>" + euc + "</title>", "text/html; charset=\"EUC-JP\"",
         neko},
        {"<meta charset>", "<meta charset=x-sjis><title>" + sjis + "</title>", "", neko},
        {"<meta http-equiv>",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><title>" +
             sjis + "</title>",
         "text/html; charset=ISO-8859-1", neko},
        {"a byte order mark over the header", "\xEF\xBB\xBF<title>" + neko + "</title>",
         "text/html; charset=Shift_JIS", neko},
        {"Latin-1", "<title>Caf\xe9</title>", "text/html; charset=iso-8859-1", "Café"},
        {"a charset name of a megabyte is no charset",
         "<title>" + sjis + "</title><meta charset=\"" + hugeCharset + "\">",
         "text/html; charset=" + hugeCharset, neko},
        {"references and spaces", "<title>\n  Tom &amp; Jerry&#x21;\t&#12371;  </title>", "",
         "Tom & Jerry! こ"},
        {"a title cut at its bound", "<title>" + std::string(kPageBytes, 'a'), "",
         std::string(kTitleBytes, 'a')},
        {"a <title> in a comment or script is none",
         "<!-- <title>no</title> --><script>'<title>no</title>'</script><title>yes</title>", "",
         "yes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string body = c.body.substr(0, kPageBytes);
        EXPECT_EQ(ReadPage(body, c.contentType, body.size() < c.body.size()).title, c.title);
    }
    const Page page = ReadPage(
        "<title></title><body><h2>Not <b>here</b></h2><h1>x</h1><p>Some&nbsp;text</p>", "", false);
    EXPECT_EQ(page.heading, "Not here");
    EXPECT_EQ(page.text, "Not here x Some text");
}

// The built-in list alone: no user's file where it would be looked for.
HealthRules Rules() {
    qvn::test::links::SetEnvironment(qvn::test::links::kConfigHome, "/nonexistent");
    return HealthRules::Load();
}

// The phrases name the domain itself; a shop, a diary or a page about sales is a live site.
TEST(LinkHealth, APageSaysWhatBecameOfItsDomain) {
    const struct {
        std::string title, heading, text;
        PageKind kind;
    } cases[] = {
        {"Neko.Example is for sale", "", "", PageKind::ForSale},
        {"", "", "This Domain Is For   Sale! Make an offer.", PageKind::ForSale},
        {"", "", "このドメインは販売中です。お問い合わせは", PageKind::ForSale},
        {"ＴＨＩＳ　ＤＯＭＡＩＮ　ＩＳ　ＦＯＲ　ＳＡＬＥ", "", "", PageKind::ForSale},
        {"example.com", "", "This domain is parked free, courtesy of a registrar",
         PageKind::Parked},
        {"", "", "このドメインはお名前.comで取得されています。", PageKind::Parked},
        {"404 Not Found", "", "", PageKind::NotFound},
        {"ページが見つかりません | 猫の手帖", "", "", PageKind::NotFound},
        {"猫の手帖", "お探しのページは移動または削除されました", "", PageKind::NotFound},
        {"404 | My Site", "", "", PageKind::NotFound},
        {"ｴﾗｰ404", "", "", PageKind::NotFound},
        // Live sites.
        {"Vintage Guitars For Sale", "", "Guitars for sale at fair prices", PageKind::Fine},
        {"猫グッズの店", "", "手作りの猫グッズを販売しています", PageKind::Fine},
        {"404号室の日記", "404号室", "", PageKind::Fine},
        {"Room 404", "", "", PageKind::Fine},
        {"Domains for sale by auction: a history", "", "premium domains for sales", PageKind::Fine},
        {"Foundry notes", "", "Nothing is not found here", PageKind::Fine},
    };
    const HealthRules rules = Rules();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title + " / " + c.text);
        EXPECT_EQ(rules.Classify({c.title, c.heading, c.text}, {"www.neko.example"}), c.kind);
    }
    EXPECT_EQ(rules.ServiceOf("WWW.Sedo.com."), PageKind::ForSale);
    EXPECT_EQ(rules.ServiceOf("ww1.parkingcrew.net"), PageKind::Parked);
    EXPECT_EQ(rules.ServiceOf("notsedo.com"), PageKind::Fine);
}

TEST(LinkHealth, UsersAddRulesOfTheSameForm) {
    HealthRules rules;
    rules.Add("# mine\r\n\r\nparked: この場所は空いています\nparking-service: Park.Example.\n",
              "mine.txt");
    EXPECT_EQ(rules.Classify({"", "", "この場所は空いています"}), PageKind::Parked);
    EXPECT_EQ(rules.ServiceOf("a.park.example"), PageKind::Parked);
    for (const char* bad : {"parked this domain\n", "sold: this domain\n", "not-found:\n"}) {
        try {
            rules.Add(std::string("# first\n") + bad, "mine.txt");
            ADD_FAILURE() << bad;
        } catch (const qvn::Error& e) {
            EXPECT_EQ(e.Message().rfind("mine.txt の 2 行目が読めません", 0), 0u) << bad;
        }
    }
}

TEST(LinkHealth, TitlesThatShareNothingNameAnotherSite) {
    const struct {
        std::string before, after;
        bool changed;
    } cases[] = {
        {"猫の手帖", "猫の手帖 2026年版", false},
        {"猫の手帖", "Best Online Casino", true},
        {"Jazz Club Tokyo", "Premium Web Hosting Deals", true},
        {"Jazz Club Tokyo", "ＪＡＺＺ　club — Shinjuku", false},
        {"ｶﾞｰﾃﾞﾝ日記", "ガーデン通信", false},
        {"猫の手帖", "手帖と万年筆", false},
        {"猫の手帖", "犬の散歩道", true},
        {"", "Best Online Casino", false},
        {"猫の手帖", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SharesNothing(c.before, c.after), c.changed) << c.before << " → " << c.after;
}

} // namespace
