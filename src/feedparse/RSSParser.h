#pragma once

#include "feedparse/Article.h"
#include "feedparse/ParserError.h"
#include "feedparse/RSSElement.h"
#include "platform/Download.h"
#include "platform/Url.h"
#include "platform/XmlEventParser.h"

#include <array>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pressling {

// Turns one feed document (RSS 2.0, RDF or Atom alike) into Articles. It does not look at the
// format: it reacts to a fixed set of element names wherever they occur and builds an entry
// from the texts collected inside each "item" or "entry".
//
// Two modes. Normal: every complete entry becomes an Article. Checking (set `checking` before
// parse): the parser stops at the first entry that carries a date text, and `valid` tells
// whether that date could be read; this is the test of whether a document is a feed.
//
// One parser reads one document once, on one thread; parsers on different threads share
// nothing.
class RSSParser final : private XmlEventHandler {
public:
    // Downloads the document at url synchronously on the calling thread. A download failure
    // (bad scheme, network, HTTP 4xx/5xx, limits) is returned and no parser results.
    static std::expected<std::unique_ptr<RSSParser>, DownloadError> fromUrl(
        const Url& url, const DownloadOptions& options = {});

    // A parser over a document already at hand; url is the address it came from and becomes
    // blogLink of every entry.
    RSSParser(std::string document, std::string url);

    RSSParser(const RSSParser&) = delete;
    RSSParser& operator=(const RSSParser&) = delete;

    bool checking = false;

    // Reads the whole document. Success returns the entries in document order (an empty list
    // for a document without entries). A document that is not well-formed fails with the XML
    // parser's error and no entries, never a partial list; in checking mode the run ends in a
    // stop, which the caller ignores in favour of valid, title and desc. Call once.
    std::expected<std::vector<Article>, ParserError> parse();

    // Readable after parse.
    const std::vector<Article>& articles() const { return articles_; }
    // The feed's title: the first "title" element of the document to end; none if there was
    // none, empty if it was empty.
    const std::optional<std::string>& title() const { return title_; }
    // The feed's description: the first "description" or "subtitle" element to end.
    const std::optional<std::string>& desc() const { return desc_; }
    // Checking mode's verdict: the first dated entry's date could be read.
    bool valid() const { return valid_; }
    const std::string& url() const { return url_; }

private:
    void startElement(std::string_view name) override;
    void characters(std::string_view text) override;
    void endElement(std::string_view name) override;

    void finishEntry();
    const std::string* firstValue(RSSElement k1, RSSElement k2, RSSElement k3) const;
    void setTemp(RSSElement key, std::string_view text);
    std::optional<Url> entryLink() const;

    std::string document_;
    std::vector<Article> articles_;
    // Texts of the entry being read, by element name; a later element of a name replaces an
    // earlier one. Emptied at every "item" or "entry" start. A slot per name rather than a
    // node-based map: the strings keep their capacity from entry to entry.
    struct TempValue {
        bool present = false;
        std::string text;
    };
    std::array<TempValue, kRSSElementCount> temp_;
    std::size_t tempCount_ = 0;
    // Between an "item" or "entry" start and its end.
    bool inEntry_ = false;
    // Character data since the most recent element start.
    std::string foundCharacters_;
    std::optional<XmlEventParser> parser_;
    bool valid_ = false;
    std::optional<std::string> title_;
    std::optional<std::string> desc_;
    std::string url_;
};

}  // namespace pressling
