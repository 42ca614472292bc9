#pragma once

#include "feedparse/RSSData.h"
#include "platform/Download.h"
#include "platform/Url.h"

#include <expected>
#include <optional>
#include <string>

namespace pressling {

// Why a candidate is not a feed to subscribe to. A plain value; any thread.
struct FeedCheckError {
    // Set when the document could not be had at all; unset when it downloaded but is not a
    // usable feed.
    std::optional<DownloadError> download;
    // For people: why, without the candidate's address (callers add it where they need it).
    std::string why;

    bool isNotFound() const { return !download; }
};

// The check every way of subscribing runs on a candidate: downloads url synchronously on the
// calling thread (within options' limits), reads it in the parser's checking mode, and passes
// it when its first dated entry's date reads and it has a title. Any thread.
//
// Success is the catalog entry for the feed: name = its title, description = its description
// or "", each cut to kMaxTitleBytes / kMaxDescriptionBytes (TextLimits.h), url = url. An empty
// title is a title. Fails with the download's error, or with a not-found error naming what the
// document lacks; nothing is written anywhere either way.
std::expected<RSSData, FeedCheckError> checkFeedAt(const Url& url,
                                                   const DownloadOptions& options = {});

}  // namespace pressling
