#include "feedparse/FeedCheck.h"

#include "feedparse/RSSParser.h"
#include "feedparse/TextLimits.h"

namespace pressling {

std::expected<RSSData, FeedCheckError> checkFeedAt(const Url& url, const DownloadOptions& options) {
    auto parser = RSSParser::fromUrl(url, options);
    if (!parser) {
        std::string why = parser.error().message;
        return std::unexpected(FeedCheckError{std::move(parser.error()), std::move(why)});
    }
    RSSParser& feed = **parser;
    feed.checking = true;
    // Checking mode ends in a stop, or in a fault for a page that is not XML at all; valid and
    // title are the verdict either way.
    (void)feed.parse();
    if (!feed.valid()) {
        return std::unexpected(FeedCheckError{std::nullopt, "not a feed"});
    }
    if (!feed.title())
        return std::unexpected(FeedCheckError{std::nullopt, "the feed has no title"});
    return RSSData{boundedText(*feed.title(), kMaxTitleBytes),
                   boundedText(feed.desc().value_or(""), kMaxDescriptionBytes), url};
}

}  // namespace pressling
