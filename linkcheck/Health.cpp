// The rules of link-health.txt and what they find in a page, the text normalisation they match
// on, and the comparison of a site's titles.
#include "Health.h"

#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"
#include "Words.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace qvn::linkcheck {

// The built-in list: link-health.txt's bytes, written into a source file by the build.
extern const char kBuiltInRules[];
extern const std::size_t kBuiltInRulesSize;

namespace {

// The code point that starts at text[i], and its length; U+FFFD for a byte that starts none.
char32_t Decode(std::string_view text, std::size_t i, std::size_t& length) {
    length = Utf8CharLength(text.substr(i));
    const auto b = static_cast<unsigned char>(text[i]);
    if (length == 1)
        return b < 0x80 ? b : 0xFFFD;
    char32_t c = b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return c;
}

// The half-width katakana U+FF66 to U+FF9D in their full width.
constexpr char16_t kFullKana[] = u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナ"
                                 u"ニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";

// The full-width katakana that a half-width voiced mark (ﾞ, ﾟ) joins with.
char32_t Voiced(char32_t base, char32_t mark) {
    const bool ka = (base >= U'カ' && base <= U'チ' && (base - U'カ') % 2 == 0) || base == U'ツ' ||
                    base == U'テ' || base == U'ト';
    const bool ha = base >= U'ハ' && base <= U'ホ' && (base - U'ハ') % 3 == 0;
    if (mark == 0xFF9E && (ka || ha))
        return base + 1;
    if (mark == 0xFF9E && base == U'ウ')
        return U'ヴ';
    if (mark == 0xFF9F && ha)
        return base + 2;
    return 0;
}

bool IsSpace(char32_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x3000;
}

// Letters and digits of any script: what a word is made of. Punctuation, symbols and spaces part
// words.
bool IsWordChar(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c >= 0xC0 && c <= 0x24F)
        return c != 0xD7 && c != 0xF7;
    return (c >= 0x370 && c <= 0x52F) || (c >= 0x3040 && c <= 0x30FF && c != 0x30FB) ||
           c == 0x3005 || c == 0x3006 || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

// Japanese (and other East Asian) letters, compared two in a row.
bool IsCjk(char32_t c) {
    return c >= 0x3000 && IsWordChar(c);
}

// The code points of normalised text.
std::u32string CodePoints(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0, n = 0; i < text.size(); i += n)
        out += Decode(text, i, n);
    return out;
}

// Where phrase stands in text as a phrase of its own: a Latin letter or a digit at its edge may
// not go on into letters or digits around it ("404" is not in "404号室"). Japanese, written
// without spaces, has no such edge.
bool Contains(const std::u32string& text, const std::u32string& phrase) {
    const auto edge = [](char32_t c) { return IsWordChar(c) && !IsCjk(c); };
    for (std::size_t at = text.find(phrase); at != std::u32string::npos;
         at = text.find(phrase, at + 1)) {
        const bool before = edge(phrase.front()) && at > 0 && IsWordChar(text[at - 1]);
        const std::size_t end = at + phrase.size();
        const bool after = edge(phrase.back()) && end < text.size() && IsWordChar(text[end]);
        if (!before && !after)
            return true;
    }
    return false;
}

// The parts of a title between its separators ("404 | My Site": "404", "my site").
std::vector<std::u32string> Parts(const std::u32string& title) {
    static constexpr std::u32string_view kSeparators =
        U"|:-/\u2013\u2014\u00B7\u2022\u00AB\u00BB【】[]()「」『』";
    std::vector<std::u32string> parts(1);
    for (const char32_t c : title) {
        if (kSeparators.find(c) != std::u32string_view::npos)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    for (std::u32string& part : parts) {
        while (!part.empty() && part.back() == ' ')
            part.pop_back();
        part.erase(0, std::min(part.find_first_not_of(U' '), part.size()));
    }
    return parts;
}

// The words of a normalised text: runs of Latin (and other alphabetic) letters and digits whole,
// runs of Japanese letters two at a time (or the one, when it stands alone).
std::set<std::u32string> Words(const std::u32string& text) {
    std::set<std::u32string> words;
    for (std::size_t i = 0; i < text.size();) {
        if (!IsWordChar(text[i])) {
            ++i;
            continue;
        }
        const bool cjk = IsCjk(text[i]);
        std::size_t end = i;
        while (end < text.size() && IsWordChar(text[end]) && IsCjk(text[end]) == cjk)
            ++end;
        if (!cjk || end - i == 1)
            words.insert(text.substr(i, end - i));
        else
            for (std::size_t k = i; k + 1 < end; ++k)
                words.insert(text.substr(k, 2));
        i = end;
    }
    return words;
}

// Whether a file of that name is there; one that cannot be read then says so when it is read.
bool Exists(const std::string& name) {
    std::error_code ec;
#ifdef _WIN32
    const auto wide = Utf8ToUtf16(name);
    return wide && std::filesystem::exists(std::filesystem::path(*wide), ec);
#else
    return std::filesystem::exists(std::filesystem::path(name), ec);
#endif
}

constexpr std::pair<std::string_view, PageKind> kPhraseKinds[] = {
    {"for-sale", PageKind::ForSale},
    {"parked", PageKind::Parked},
    {"not-found", PageKind::NotFound},
};
constexpr std::pair<std::string_view, PageKind> kServiceKinds[] = {
    {"for-sale-service", PageKind::ForSale},
    {"parking-service", PageKind::Parked},
};

} // namespace

std::string Normalise(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool space = true;
    for (std::size_t i = 0, n = 0; i < utf8.size(); i += n) {
        char32_t c = Decode(utf8, i, n);
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII
            c -= 0xFF01 - 0x21;
        if (c >= 0xFF66 && c <= 0xFF9D) {
            c = kFullKana[c - 0xFF66];
            std::size_t m = 0;
            if (i + n < utf8.size()) {
                const char32_t mark = Decode(utf8, i + n, m);
                if (const char32_t joined = Voiced(c, mark)) {
                    c = joined;
                    n += m;
                }
            }
        }
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            c += 0x20;
        if (space && !out.empty())
            out += ' ';
        space = false;
        AppendUtf8(out, c);
    }
    return out;
}

void HealthRules::Add(std::string_view text, const std::string& source) {
    long long number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const std::string plain = Normalise(line);
        if (plain.empty() || plain.starts_with('#'))
            continue;
        const std::size_t colon = plain.find(':');
        const std::string kind = plain.substr(0, colon);
        const std::string value =
            colon == std::string::npos ? "" : Normalise(plain.substr(colon + 1));
        bool known = false;
        for (const auto& [name, pageKind] : kPhraseKinds) {
            if (kind == name || kind == std::string(name) + "-title") {
                phrases_.push_back({pageKind, kind.ends_with("-title"), CodePoints(value)});
                known = true;
            }
        }
        for (const auto& [name, serviceKind] : kServiceKinds) {
            if (kind == name) {
                std::string domain = value;
                while (domain.ends_with('.'))
                    domain.pop_back();
                services_.push_back({serviceKind, domain});
                known = true;
            }
        }
        if (!known || value.empty())
            throw Error(source + " の " + std::to_string(number) +
                        " 行目が読めません: 「種類: 語句」の行ではありません (種類は for-sale, "
                        "parked, not-found, not-found-title, for-sale-service, parking-service)");
    }
}

std::string HealthRules::UserFile() {
#ifdef _WIN32
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    const auto base = appData && *appData ? Utf16ToUtf8(appData) : std::nullopt;
    return base ? *base + "\\Quorvane\\link-health.txt" : std::string();
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return std::string(config) + "/quorvane/link-health.txt";
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.config/quorvane/link-health.txt" : std::string();
#endif
}

HealthRules HealthRules::Load() {
    HealthRules rules;
    rules.Add(std::string_view(kBuiltInRules, kBuiltInRulesSize), "link-health.txt");
    const std::string user = UserFile();
    if (!user.empty() && Exists(user))
        rules.Add(ReadFile(FilePath::FromNative(user)), user);
    return rules;
}

PageKind HealthRules::Classify(const Page& page, const std::vector<std::string>& hosts) const {
    const std::u32string title = CodePoints(Normalise(page.title));
    const std::u32string heading = CodePoints(Normalise(page.heading));
    const std::u32string text = CodePoints(Normalise(page.text));
    const std::vector<std::u32string> parts[] = {Parts(title), Parts(heading)};
    std::vector<std::u32string> names; // what "{domain}" stands for
    for (std::string host : hosts) {
        while (host.ends_with('.'))
            host.pop_back();
        names.push_back(CodePoints(Normalise(host)));
        if (host.starts_with("www."))
            names.push_back(CodePoints(Normalise(host.substr(4))));
    }
    const std::u32string domain = U"{domain}";
    const auto found = [&](PageKind kind, bool wholePart, const std::u32string& phrase) {
        if (wholePart)
            return std::ranges::count(parts[0], phrase) + std::ranges::count(parts[1], phrase) > 0;
        if (kind == PageKind::NotFound)
            return Contains(title, phrase) || Contains(heading, phrase);
        return Contains(title, phrase) || Contains(text, phrase);
    };
    // The domain's sale or parking first: such a page may also say that nothing is here.
    for (const PageKind kind : {PageKind::ForSale, PageKind::Parked, PageKind::NotFound}) {
        for (const Phrase& rule : phrases_) {
            if (rule.kind != kind)
                continue;
            const std::size_t at = rule.text.find(domain);
            if (at == std::u32string::npos) {
                if (found(kind, rule.wholePart, rule.text))
                    return kind;
                continue;
            }
            for (const std::u32string& name : names) {
                std::u32string phrase = rule.text;
                phrase.replace(at, domain.size(), name);
                if (found(kind, rule.wholePart, phrase))
                    return kind;
            }
        }
    }
    return PageKind::Fine;
}

PageKind HealthRules::ServiceOf(std::string_view host) const {
    std::string name = check::Lower(host);
    while (name.ends_with('.'))
        name.pop_back();
    for (const Service& service : services_) {
        if (name == service.domain || name.ends_with("." + service.domain))
            return service.kind;
    }
    return PageKind::Fine;
}

bool SharesNothing(std::string_view before, std::string_view after) {
    const std::set<std::u32string> a = Words(CodePoints(Normalise(before)));
    const std::set<std::u32string> b = Words(CodePoints(Normalise(after)));
    if (a.empty() || b.empty())
        return false;
    return std::ranges::none_of(a, [&b](const std::u32string& word) { return b.contains(word); });
}

} // namespace qvn::linkcheck
