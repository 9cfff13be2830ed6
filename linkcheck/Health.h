// What the link check makes of a page that answers: whether its domain is for sale or parked,
// whether it is a "not found" page served with 200, and whether a site's title has turned into
// another site's. The phrases and the services are data: the list in link-health.txt, built into
// the program, and the user's own file of the same form, which adds to it.
#pragma once

#include "Page.h"

#include <string>
#include <string_view>
#include <vector>

namespace qvn::linkcheck {

// Text as it is compared: letters in one case, the full-width forms of ASCII and the half-width
// katakana in their usual width, every run of spaces one space, none at the ends.
std::string Normalise(std::string_view utf8);

// What a page, or the host a site is sent to, says of the site.
enum class PageKind { Fine, ForSale, Parked, NotFound };

class HealthRules {
public:
    // Adds the rules of a text in the file's form: "KIND: TEXT" lines, blank lines and "#"
    // comments. Throws Error naming source and the line for a line of another form.
    void Add(std::string_view text, const std::string& source);

    // The built-in list, and the user's own file when there is one: UserFile().
    static HealthRules Load();
    // Where the user's own file is: $XDG_CONFIG_HOME/quorvane/link-health.txt (~/.config when
    // that is not set) on Linux, %APPDATA%\Quorvane\link-health.txt on Windows; empty when
    // neither is set.
    static std::string UserFile();

    // For sale or parked, by the page's title or text; not found, by its title or first heading.
    // A phrase's "{domain}" stands for each of hosts (with and without "www."): the site's own
    // names, as the page may say them ("example.com is for sale").
    PageKind Classify(const Page& page, const std::vector<std::string>& hosts = {}) const;
    // ForSale or Parked when host is (under) a domain-sale or parking service's domain.
    PageKind ServiceOf(std::string_view host) const;

private:
    struct Phrase {
        PageKind kind;
        bool wholePart;      // the whole title, or a part of it between separators ("404 | Site")
        std::u32string text; // normalised
    };
    struct Service {
        PageKind kind;
        std::string domain; // in lower case, without a final dot
    };
    std::vector<Phrase> phrases_;
    std::vector<Service> services_;
};

// Whether two titles of one URL name two different sites: they have no word in common (a run of
// letters or digits, normalised) and, for Japanese text, no two characters in a row in common.
// An empty title says nothing: false.
bool SharesNothing(std::string_view before, std::string_view after);

} // namespace qvn::linkcheck
