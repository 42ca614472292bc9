#include "FeedGenerator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace pressling::bench {

namespace {

// SplitMix64: tiny, fast and identical everywhere, unlike std::uniform_int_distribution.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Inclusive on both ends. The modulo bias is irrelevant for test data.
    std::size_t between(std::size_t low, std::size_t high) {
        return low + std::size_t(next() % (high - low + 1));
    }
    bool percent(unsigned chance) { return next() % 100 < chance; }
    template <std::size_t N>
    std::string_view pick(const std::array<std::string_view, N>& words) {
        return words[next() % N];
    }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 96> kWords{
    "the",      "a",        "of",       "and",     "to",       "in",      "is",       "it",
    "that",     "for",      "on",       "with",    "as",       "was",     "we",       "this",
    "by",       "from",     "at",       "or",      "but",      "not",     "are",      "be",
    "have",     "one",      "all",      "when",    "there",    "can",     "more",     "about",
    "which",    "their",    "time",     "city",    "kitchen",  "release", "server",   "morning",
    "market",   "bread",    "window",   "river",   "library",  "version", "build",    "garden",
    "table",    "street",   "evening",  "coffee",  "winter",   "summer",  "station",  "train",
    "harbour",  "feature",  "update",   "parser",  "network",  "season",  "recipe",   "neighbour",
    "festival", "museum",   "bicycle",  "weather", "mountain", "letter",  "question", "answer",
    "story",    "chapter",  "notebook", "project", "design",   "quietly", "slowly",   "carefully",
    "again",    "together", "finally",  "perhaps", "small",    "bright",  "old",      "new",
    "long",     "short",    "warm",     "cold",    "simple",   "patient", "curious",  "familiar",
};

constexpr std::array<std::string_view, 16> kForeignWords{
    "café",    "naïve", "résumé", "Zürich", "São Paulo",    "Kraków", "façade",      "über",
    "déjà vu", "日本",  "東京",   "日本語", "crème brûlée", "Málaga", "smörgåsbord", "piñata",
};

constexpr std::array<std::string_view, 12> kCategories{
    "Food",   "Cities", "Software", "Travel", "Notes",  "Releases",
    "Photos", "Books",  "Cafés",    "日本",   "Design", "Weekend",
};

constexpr std::array<std::string_view, 6> kAuthors{
    "Zoë Martín", "Jean-Luc Dubois", "山田 太郎", "Ana Souza", "Sam O'Neil", "Priya Raman",
};

constexpr std::array<std::string_view, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed",
                                                    "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void appendWord(std::string& out, Rng& rng, bool capitalise) {
    std::string_view word = rng.percent(4) ? rng.pick(kForeignWords) : rng.pick(kWords);
    if (capitalise && word[0] >= 'a' && word[0] <= 'z') {
        out += char(word[0] - 'a' + 'A');
        out += word.substr(1);
    } else {
        out += word;
    }
}

// One sentence of HTML, with the inline markup and entities that blog bodies carry.
void appendSentence(std::string& out, Rng& rng, std::size_t& linkNumber, std::string_view site) {
    const std::size_t words = rng.between(6, 18);
    for (std::size_t i = 0; i < words; ++i) {
        if (i > 0) out += rng.percent(3) ? " — " : " ";
        const unsigned roll = unsigned(rng.next() % 100);
        if (roll < 6) {
            out += "<em>";
            appendWord(out, rng, i == 0);
            out += "</em>";
        } else if (roll < 10) {
            out += "<strong>";
            appendWord(out, rng, i == 0);
            out += "</strong>";
        } else if (roll < 14) {
            out += "<a href=\"";
            out += site;
            out += "/notes/";
            out += std::to_string(++linkNumber);
            out += "?utm_source=feed&amp;utm_medium=rss\">";
            appendWord(out, rng, i == 0);
            out += ' ';
            appendWord(out, rng, false);
            out += "</a>";
        } else if (roll < 16) {
            out += "R&amp;D";
        } else if (roll < 18) {
            appendWord(out, rng, i == 0);
            out += "&nbsp;&mdash;";
        } else if (roll < 20) {
            out += "it&#8217;s";
        } else {
            appendWord(out, rng, i == 0);
        }
    }
    out += rng.percent(85) ? ". " : (rng.percent(50) ? "? " : "! ");
}

void appendParagraph(std::string& out, Rng& rng, std::size_t& linkNumber, std::string_view site) {
    out += "<p>";
    const std::size_t sentences = rng.between(2, 5);
    for (std::size_t i = 0; i < sentences; ++i) appendSentence(out, rng, linkNumber, site);
    out.pop_back();  // the space after the last sentence
    out += "</p>\n";
}

// An HTML body of 2-4 KB: paragraphs, now and then a quote, a list, an image or some code.
std::string makeHtmlBody(Rng& rng, std::size_t entryNumber, std::string_view site) {
    const std::size_t target = rng.between(2048, 4096);
    std::string html;
    html.reserve(target + 1024);
    std::size_t linkNumber = entryNumber * 100;
    while (html.size() < target) {
        const unsigned roll = unsigned(rng.next() % 100);
        if (roll < 8) {
            html += "<blockquote>";
            appendParagraph(html, rng, linkNumber, site);
            html += "</blockquote>\n";
        } else if (roll < 16) {
            html += "<ul>\n";
            for (std::size_t i = 0, n = rng.between(2, 5); i < n; ++i) {
                html += "<li>";
                appendSentence(html, rng, linkNumber, site);
                html.pop_back();
                html += "</li>\n";
            }
            html += "</ul>\n";
        } else if (roll < 24) {
            html += "<p><img src=\"";
            html += site;
            html += "/images/";
            html += std::to_string(entryNumber);
            html += '-';
            html += std::to_string(roll);
            html += ".jpg\" alt=\"A ";
            appendWord(html, rng, false);
            html += " by the ";
            appendWord(html, rng, false);
            html += "\" width=\"640\" height=\"480\" /></p>\n";
        } else if (roll < 28) {
            html +=
                "<pre><code>for (int i = 0; i &lt; n; ++i) {\n"
                "    if (items[i].size() &gt; limit &amp;&amp; !seen[i]) emit(items[i]);\n"
                "}</code></pre>\n";
        } else {
            appendParagraph(html, rng, linkNumber, site);
        }
    }
    return html;
}

std::string makeTitle(Rng& rng) {
    std::string title;
    const std::size_t words = rng.between(4, 10);
    for (std::size_t i = 0; i < words; ++i) {
        if (i > 0) {
            if (rng.percent(5)) {
                title += " & ";
            } else if (rng.percent(5)) {
                title += " — ";
            } else {
                title += ' ';
            }
        }
        appendWord(title, rng, i == 0);
    }
    if (rng.percent(10)) {
        title += " in ";
        title += rng.pick(kForeignWords);
    }
    return title;
}

std::string makeLink(std::chrono::sys_seconds when, std::size_t entryNumber, Rng& rng,
                     std::string_view site) {
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(when)};
    char date[32];
    std::snprintf(date, sizeof date, "/%04d/%02u/%02u/", int(day.year()), unsigned(day.month()),
                  unsigned(day.day()));
    std::string link(site);
    link += date;
    for (int i = 0; i < 3; ++i) {
        std::string_view word = rng.pick(kWords);
        link += word;
        link += '-';
    }
    link += std::to_string(entryNumber);
    link += '/';
    return link;
}

struct CivilTime {
    int year;
    unsigned month, day, weekday;
    long hour, minute, second;
};

CivilTime civil(std::chrono::sys_seconds when) {
    using namespace std::chrono;
    const sys_days days = floor<std::chrono::days>(when);
    const year_month_day ymd{days};
    const hh_mm_ss<seconds> clock{when - days};
    return {int(ymd.year()),
            unsigned(ymd.month()),
            unsigned(ymd.day()),
            weekday{days}.c_encoding(),
            long(clock.hours().count()),
            long(clock.minutes().count()),
            long(clock.seconds().count())};
}

// "Tue, 10 Jun 2003 04:00:00 +0000", or with "GMT" or another numeric zone.
std::string rfc822Date(std::chrono::sys_seconds when, Rng& rng) {
    struct Zone {
        const char* name;
        int minutes;
    };
    static constexpr std::array<Zone, 4> kZones{
        {{"+0000", 0}, {"GMT", 0}, {"-0500", -300}, {"+0200", 120}}};
    const unsigned roll = unsigned(rng.next() % 100);
    const Zone& zone = kZones[roll < 40 ? 0 : roll < 70 ? 1 : roll < 85 ? 2 : 3];
    const CivilTime t = civil(when + std::chrono::minutes(zone.minutes));
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d %02ld:%02ld:%02ld %s",
                  kWeekdays[t.weekday].data(), t.day, kMonths[t.month - 1].data(), t.year, t.hour,
                  t.minute, t.second, zone.name);
    return text;
}

// "2003-06-10T04:00:00Z", or with an offset such as "+02:00".
std::string isoDate(std::chrono::sys_seconds when, Rng& rng) {
    struct Zone {
        const char* name;
        int minutes;
    };
    static constexpr std::array<Zone, 3> kZones{{{"Z", 0}, {"+02:00", 120}, {"-05:00", -300}}};
    const unsigned roll = unsigned(rng.next() % 100);
    const Zone& zone = kZones[roll < 60 ? 0 : roll < 85 ? 1 : 2];
    const CivilTime t = civil(when + std::chrono::minutes(zone.minutes));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld%s", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, zone.name);
    return text;
}

void appendElement(std::string& out, std::string_view indent, std::string_view name,
                   std::string_view text) {
    out += indent;
    out += '<';
    out += name;
    out += '>';
    appendXmlEscaped(out, text);
    out += "</";
    out += name;
    out += ">\n";
}

// The body as element content: escaped markup mostly, a CDATA section for about a third.
void appendBody(std::string& out, Rng& rng, std::string_view html) {
    if (rng.percent(33)) {
        out += "<![CDATA[";
        out += html;  // the generated HTML never contains "]]>"
        out += "]]>";
    } else {
        appendXmlEscaped(out, html);
    }
}

// What to write: the feed's identity, and either a size to reach or a number of entries.
struct Shape {
    const FeedSite& site;
    std::size_t targetBytes = 0;
    std::size_t entryCount = 0;  // 0: as many as targetBytes asks for

    std::size_t reserve() const { return entryCount > 0 ? entryCount * 6144 : targetBytes + 8192; }
    bool wantsMore(const GeneratedFeed& feed, std::size_t closingSize) const {
        if (entryCount > 0) return feed.entryCount < entryCount;
        return feed.entryCount == 0 || feed.document.size() + closingSize < targetBytes;
    }
};

// "blog.example.org" for "https://blog.example.org", for tag: URIs.
std::string_view authorityOf(std::string_view site) {
    if (const auto scheme = site.find("://"); scheme != std::string_view::npos) {
        site.remove_prefix(scheme + 3);
    }
    return site.substr(0, site.find('/'));
}

GeneratedFeed generateRss(Rng& rng, const Shape& shape) {
    using namespace std::chrono;
    GeneratedFeed feed;
    std::string& out = feed.document;
    out.reserve(shape.reserve());
    const FeedSite& site = shape.site;
    sys_seconds when = site.newest;

    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
        "xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
        "<channel>\n";
    appendElement(out, "  ", "title", site.title);
    appendElement(out, "  ", "link", site.site + "/");
    appendElement(out, "  ", "description", site.about);
    appendElement(out, "  ", "language", "en-us");
    appendElement(out, "  ", "lastBuildDate", rfc822Date(when, rng));
    appendElement(out, "  ", "generator", "hand-rolled 2.4");
    out += "  <atom:link href=\"";
    out += site.site;
    out += "/feed.xml\" rel=\"self\" type=\"application/rss+xml\"/>\n";
    out += "  <image>\n";
    appendElement(out, "    ", "url", site.site + "/logo.png");
    appendElement(out, "    ", "title", "The Long Table");
    appendElement(out, "    ", "link", site.site + "/");
    out += "  </image>\n";

    constexpr std::string_view kClosing = "</channel>\n</rss>\n";
    while (shape.wantsMore(feed, kClosing.size())) {
        const std::size_t number = ++feed.entryCount;
        const std::string link = makeLink(when, number, rng, site.site);
        out += "  <item>\n";
        appendElement(out, "    ", "title", makeTitle(rng));
        appendElement(out, "    ", "link", link);
        if (rng.percent(70)) {
            out += "    <guid isPermaLink=\"true\">";
            out += link;
        } else {
            out += "    <guid isPermaLink=\"false\">tag:";
            out += authorityOf(site.site);
            out += ",2003:post-";
            out += std::to_string(number);
        }
        out += "</guid>\n";
        appendElement(out, "    ", "pubDate", rfc822Date(when, rng));
        appendElement(out, "    ", "dc:creator", rng.pick(kAuthors));
        for (std::size_t i = 0, n = rng.between(1, 3); i < n; ++i) {
            appendElement(out, "    ", "category", rng.pick(kCategories));
        }
        out += "    <description>";
        appendBody(out, rng, makeHtmlBody(rng, number, site.site));
        out += "</description>\n";
        appendElement(out, "    ", "comments", link + "#comments");
        out += "  </item>\n";
        when -= seconds(rng.between(600, 36 * 3600));
    }
    out += kClosing;
    return feed;
}

GeneratedFeed generateAtom(Rng& rng, const Shape& shape) {
    using namespace std::chrono;
    GeneratedFeed feed;
    std::string& out = feed.document;
    out.reserve(shape.reserve());
    const FeedSite& site = shape.site;
    sys_seconds when = site.newest;

    out +=
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:lang=\"en\">\n";
    appendElement(out, "  ", "title", site.title);
    appendElement(out, "  ", "subtitle", site.about);
    out += "  <link rel=\"alternate\" type=\"text/html\" href=\"";
    out += site.site;
    out += "/\"/>\n  <link rel=\"self\" type=\"application/atom+xml\" href=\"";
    out += site.site;
    out += "/atom.xml\"/>\n";
    appendElement(out, "  ", "id", site.site + "/");
    appendElement(out, "  ", "updated", isoDate(when, rng));
    out += "  <author>\n";
    appendElement(out, "    ", "name", kAuthors[0]);
    appendElement(out, "    ", "uri", site.site + "/about/");
    out += "  </author>\n";
    out += "  <generator uri=\"https://example.com/\" version=\"2.4\">hand-rolled</generator>\n";

    constexpr std::string_view kClosing = "</feed>\n";
    while (shape.wantsMore(feed, kClosing.size())) {
        const std::size_t number = ++feed.entryCount;
        const std::string link = makeLink(when, number, rng, site.site);
        out += "  <entry>\n";
        appendElement(out, "    ", "title", makeTitle(rng));
        out += "    <link rel=\"alternate\" type=\"text/html\" href=\"";
        out += link;
        out += "\"/>\n";
        appendElement(out, "    ", "id", link);
        const std::string date = isoDate(when, rng);
        appendElement(out, "    ", "published", date);
        appendElement(out, "    ", "updated", date);
        out += "    <author>\n";
        appendElement(out, "      ", "name", rng.pick(kAuthors));
        out += "    </author>\n";
        for (std::size_t i = 0, n = rng.between(1, 3); i < n; ++i) {
            out += "    <category term=\"";
            appendXmlEscaped(out, rng.pick(kCategories));
            out += "\"/>\n";
        }
        const std::string html = makeHtmlBody(rng, number, site.site);
        if (rng.percent(50)) {
            // A teaser: the first paragraph of the body.
            const std::size_t end = html.find("</p>");
            const std::size_t start = html.rfind("<p>", end);
            std::string_view teaser = start == std::string::npos || end == std::string::npos
                                          ? std::string_view(html).substr(0, 300)
                                          : std::string_view(html).substr(start, end + 4 - start);
            out += "    <summary type=\"html\">";
            appendXmlEscaped(out, teaser);
            out += "</summary>\n";
        }
        out += "    <content type=\"html\">";
        appendBody(out, rng, html);
        out += "</content>\n";
        out += "  </entry>\n";
        when -= seconds(rng.between(600, 36 * 3600));
    }
    out += kClosing;
    return feed;
}

}  // namespace

void appendXmlEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

std::optional<FeedFormat> feedFormatNamed(std::string_view name) {
    if (name == "rss") return FeedFormat::rss;
    if (name == "atom") return FeedFormat::atom;
    return std::nullopt;
}

namespace {

GeneratedFeed generateShape(std::uint64_t seed, FeedFormat format, const Shape& shape) {
    // The format enters the seed so the two documents do not share their text.
    Rng rng(seed ^ (format == FeedFormat::rss ? 0x5253'5300ULL : 0x41'544f'4d00ULL));
    return format == FeedFormat::rss ? generateRss(rng, shape) : generateAtom(rng, shape);
}

}  // namespace

GeneratedFeed FeedGenerator::generate(FeedFormat format, std::size_t targetBytes) const {
    const FeedSite site;
    return generateShape(seed_, format, Shape{.site = site, .targetBytes = targetBytes});
}

GeneratedFeed FeedGenerator::generateEntries(FeedFormat format, std::size_t entryCount,
                                             const FeedSite& site) const {
    return generateShape(seed_, format,
                         Shape{.site = site, .entryCount = std::max<std::size_t>(entryCount, 1)});
}

}  // namespace pressling::bench
