// Writes a link data file of realistic records and a matching template, both in code page 932,
// for timing qvn-build on large inputs:
//
//   qvn-bench-data RECORDS DATA TEMPLATE
//
// Every record is one line "name,URL,administrator,description" ended by CR LF: names of 5 to 30
// bytes, URLs of 20 to 60 (each its own), administrators of 0 to 15 (some empty), descriptions of
// 20 to 120, about a third of them with commas of their own (which stay in the description).
// Most names, administrators and descriptions are Japanese, with double-byte characters whose
// trail byte is 0x5C ("ソ", "表") or 0x5F ("ダ") among them. About 130 bytes a record: a million
// records make a file of about 130 MB. The output depends only on RECORDS, so runs compare like with like.
#include "Codec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

using Pool = std::vector<std::string>;

// Word pools, written in UTF-8 and turned into code page 932 once at start.
const char* const kJaNameWords[] = {
    "猫",         "の",       "手帖",     "山歩き",   "ノート", "工房",   "日和",   "だより",
    "写真館",     "喫茶",     "図書室",   "鉄道",     "旅",     "日記",   "雑記帳", "庭",
    "花",         "星見台",   "月",       "風",       "海辺",   "釣り",   "台所",   "音楽室",
    "模型",       "盆栽",     "和菓子",   "書道",     "将棋",   "自転車", "散歩",   "古本",
    "文具",       "手芸",     "陶芸",     "カメラ",   "ラジオ", "ゲーム", "ソフト", "表計算",
    "ダイアリー", "のんびり", "ひだまり", "こもれび", "小さな", "週末",   "趣味の", "研究所",
    "倶楽部",     "横丁"};
const char* const kEnNameWords[] = {"Retro",   "Studio",  "Lab",    "Notes", "Garden", "Daily",
                                    "Pixel",   "Blue",    "Sky",    "Cafe",  "Works",  "Room",
                                    "Archive", "Station", "Little", "Green", "Moon",   "Trail"};
const char* const kSlugs[] = {"neko",  "yama",  "hoshi",  "sora",  "umi",  "kaze",  "hana", "tabi",
                              "retro", "pixel", "garden", "notes", "cafe", "works", "mori", "kawa",
                              "tsuki", "yuki",  "kumo",   "ame",   "niwa", "hon",   "oto"};
const char* const kHosts[] = {".example",     ".example",     ".example",
                              ".example.com", ".example.org", ".example.net"};
const char* const kSurnames[] = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺",
                                 "中村", "小林", "加藤", "吉田", "山本", "松本", "井上"};
const char* const kGivenNames[] = {"太郎", "花子", "翔",   "さくら", "健", "あおい",
                                   "誠",   "ゆい", "大輔", "美咲",   "蓮", "ひなた"};
const char* const kHandles[] = {"kazu", "tomo",      "neko_san", "Yuki", "taro2",
                                "hana", "webmaster", "mori",     "aki"};
const char* const kJaPhrases[] = {"毎日の記録です。",
                                  "写真と日記のサイト。",
                                  "初心者向けの解説があります。",
                                  "リンクはご自由にどうぞ。",
                                  "季節ごとに更新しています。",
                                  "地図と装備の一覧つき。",
                                  "のんびり更新中。",
                                  "作品の展示と、制作の裏話。",
                                  "ソフトウェアの使い方を紹介。",
                                  "表とグラフで振り返る一年。",
                                  "ダウンロードできる資料もあります。",
                                  "掲示板は閉鎖しました。",
                                  "お問い合わせはメールで。",
                                  "古い記事も残しています。",
                                  "関東近郊の情報が中心です。",
                                  "、",
                                  "。",
                                  "猫",
                                  "犬",
                                  "旅",
                                  "本"};
const char* const kEnPhrases[] = {
    "Notes on small projects. ", "Photos and a diary. ", "Updated weekly. ",
    "Links welcome. ",           "Since 1999. ",         "Reviews of old games. ",
    "Maps and gear lists. "};
const char* const kCommaPhrases[] = {"地図, 装備, 所要時間", ", ", "写真, 日記", "A, B, C",
                                     "春, 夏, 秋, 冬"};
const char* const kKana[] = {"あ", "い", "う", "か", "き", "さ", "た",
                             "な", "ま", "ら", "ソ", "ダ", "ー", "・"};
const char kFill[] = "abcdefghijklmnopqrstuvwxyz0123456789";

template <std::size_t N> Pool ToCp932(const char* const (&words)[N]) {
    Pool pool;
    for (const char* w : words) {
        const auto cp932 = qvn::Utf8ToCp932Exact(w);
        if (!cp932) {
            std::cerr << "qvn-bench-data: no code page 932 form for \"" << w << "\"\n";
            std::exit(1);
        }
        pool.push_back(*cp932);
    }
    return pool;
}

class Generator {
public:
    Generator()
        : jaName_(ToCp932(kJaNameWords)), enName_(ToCp932(kEnNameWords)), slugs_(ToCp932(kSlugs)),
          hosts_(ToCp932(kHosts)), surnames_(ToCp932(kSurnames)), givenNames_(ToCp932(kGivenNames)),
          handles_(ToCp932(kHandles)), jaPhrases_(ToCp932(kJaPhrases)),
          enPhrases_(ToCp932(kEnPhrases)), commaPhrases_(ToCp932(kCommaPhrases)),
          kana_(ToCp932(kKana)) {}

    // Appends one record line, CR LF included.
    void Record(std::string& out) {
        Name(out);
        out += ',';
        Url(out);
        out += ',';
        Administrator(out);
        out += ',';
        Description(out);
        out += "\r\n";
    }

private:
    std::uint64_t Below(std::uint64_t n) { return rng_() % n; }
    std::size_t Between(std::size_t lo, std::size_t hi) { return lo + Below(hi - lo + 1); }
    const std::string& Pick(const Pool& pool) { return pool[Below(pool.size())]; }

    // Appends words from pool while they fit in length bytes, then fills the rest exactly with
    // kana (two bytes, Japanese text only) and ASCII (one), never splitting a double-byte
    // character.
    void Fill(std::string& out, std::size_t length, const Pool& pool, bool japanese) {
        std::size_t used = 0;
        for (int misses = 0; used < length && misses < 4;) {
            const std::string& w = Pick(pool);
            if (used + w.size() <= length) {
                out += w, used += w.size();
            } else {
                ++misses;
            }
        }
        while (japanese && length - used >= 2)
            out += Pick(kana_), used += 2;
        for (; used < length; ++used)
            out += kFill[Below(sizeof kFill - 1)];
    }

    void Name(std::string& out) {
        const std::size_t length = Between(5, 30);
        const bool japanese = Below(10) < 7;
        Fill(out, length, japanese ? jaName_ : enName_, japanese);
    }

    void Url(std::string& out) {
        std::size_t length = Between(20, 60);
        const std::size_t start = out.size();
        out += "https://";
        out += Below(3) == 0 ? std::string("www") : Pick(slugs_);
        out += Pick(hosts_);
        out += '/';
        if (out.size() - start > length) { // the shortest host, "https://www.example/", is 20
            out.resize(start);
            out += "https://www.example/";
        }
        // A path of the record's own, so that no two sites share a URL (the check reports those).
        out += Base36(record_++);
        out += '/';
        length = std::max(length, out.size() - start);
        while (out.size() - start + 6 < length) {
            out += Below(4) == 0 ? "~" : "";
            out += Pick(slugs_);
            out += '/';
        }
        while (out.size() - start < length)
            out += kFill[Below(sizeof kFill - 1)];
        out.resize(start + length);
    }

    void Administrator(std::string& out) {
        const auto kind = Below(10);
        if (kind == 0)
            return; // no administrator named
        if (kind >= 6) {
            out += Pick(handles_);
            return;
        }
        out += Pick(surnames_); // with a given name at most 13 bytes
        if (Below(2) == 0)
            out += " " + Pick(givenNames_);
    }

    void Description(std::string& out) {
        const std::size_t length = Between(20, 120);
        const std::size_t start = out.size();
        if (Below(3) == 0) { // a description with commas of its own
            const std::string& c = Pick(commaPhrases_);
            if (c.size() <= length)
                out += c;
        }
        const bool japanese = Below(10) < 8;
        Fill(out, length - (out.size() - start), japanese ? jaPhrases_ : enPhrases_, japanese);
    }

    static std::string Base36(std::uint64_t n) {
        std::string digits;
        do {
            digits.insert(digits.begin(), kFill[n % 36]);
            n /= 36;
        } while (n > 0);
        return digits;
    }

    std::uint64_t record_ = 0;
    std::mt19937_64 rng_{20260101};
    Pool jaName_, enName_, slugs_, hosts_, surnames_, givenNames_, handles_, jaPhrases_, enPhrases_,
        commaPhrases_, kana_;
};

// A page template: head, a three-line frame with all four tokens, foot. Code page 932.
const char* const kTemplate = "ベンチマーク用のテンプレート\r\n"
                              "_HEAD_\r\n"
                              "<!DOCTYPE html>\r\n"
                              "<html lang=\"ja\">\r\n"
                              "<head>\r\n"
                              "<meta charset=\"Shift_JIS\">\r\n"
                              "<title>リンク集</title>\r\n"
                              "</head>\r\n"
                              "<body>\r\n"
                              "<h1>リンク集</h1>\r\n"
                              "<dl>\r\n"
                              "_FRAME_\r\n"
                              "<dt><a href=\"_URL_\">_TITLE_</a></dt>\r\n"
                              "<dd>_EXPLAIN_</dd>\r\n"
                              "<dd class=\"admin\">管理者: _AUTHOR_</dd>\r\n"
                              "_FOOT_\r\n"
                              "</dl>\r\n"
                              "</body>\r\n"
                              "</html>\r\n";

bool WriteFile(const char* path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    return static_cast<bool>(f);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: qvn-bench-data RECORDS DATA TEMPLATE\n";
        return 2;
    }
    char* end = nullptr;
    const long long records = std::strtoll(argv[1], &end, 10);
    if (*end != '\0' || records < 0) {
        std::cerr << "qvn-bench-data: RECORDS must be a whole number\n";
        return 2;
    }

    Generator gen;
    std::ofstream data(argv[2], std::ios::binary | std::ios::trunc);
    std::string chunk;
    for (long long r = 0; r < records && data; ++r) {
        gen.Record(chunk);
        if (chunk.size() >= (1u << 20) || r + 1 == records) {
            data.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
    data.close();
    if (!data) {
        std::cerr << "qvn-bench-data: cannot write " << argv[2] << "\n";
        return 1;
    }
    if (!WriteFile(argv[3], *qvn::Utf8ToCp932Exact(kTemplate))) {
        std::cerr << "qvn-bench-data: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
