#pragma once

#include "feedparse/Article.h"
#include "feedparse/ParserError.h"
#include "platform/Download.h"

#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pressling {

class ArticleStore;
class KeyValueStore;

// Why one feed of a refresh failed. A plain value; any thread.
struct RefreshError {
    enum class Kind {
        download,  // the document could not be fetched (see downloadKind)
        parse,     // it was fetched but is not a well-formed document
    };
    Kind kind;
    // For people: names the feed's address and what went wrong.
    std::string message;
    // The download's own reason; set exactly when kind is download.
    std::optional<DownloadError::Kind> downloadKind;

    static RefreshError fromDownload(const DownloadError& error);
    static RefreshError fromParse(const std::string& url, const ParserError& error);

    bool isDownload() const { return kind == Kind::download; }
    bool isParse() const { return kind == Kind::parse; }
};

// One feed's outcome: the entries its document holds, in document order, before the store
// drops those it already has (possibly none), or why it failed.
using FeedResult = std::expected<std::vector<Article>, RefreshError>;

// Called once for each feed the run attempted, on a worker thread; several calls may run at
// the same time, so the callback synchronises whatever it shares.
using FeedCallback = std::function<void(FeedResult result)>;

// Called once at the end of a run, on the run's own background thread (never the main one):
// the error of the last feed to fail (which one, when several fail, depends on timing) or none,
// and the number of subscriptions read at the start, feeds skipped for an unusable address
// included.
using RefreshCompletion =
    std::function<void(std::optional<RefreshError> lastError, std::size_t count)>;

struct RefreshOptions {
    // Limits of each feed's download. Tests shorten them; the defaults (see Download.h) bound a
    // stalled server by the low-speed abort, 20 s.
    DownloadOptions download{};

    // How many feeds download at once, each on a thread of the run. Default: 32. A download
    // blocks its thread, so the time a long list takes is about its length / parallelFeeds
    // round trips; each thread costs a stack and a connection while it runs. 0 counts as 1.
    std::size_t parallelFeeds = 32;

    // The subscription list's store. Default (null): KeyValueStore::defaultStore(). Must
    // outlive the run, that is until completion has returned.
    KeyValueStore* listStore = nullptr;

    // The store each feed's entries are saved to. Default (null): persistentContainer()'s.
    // Must outlive the main-queue items the run submits, which may run after completion.
    ArticleStore* articleStore = nullptr;
};

// Brings the article store up to date with every subscribed feed, and returns at once.
// Any thread. REQUIRES: an installed main queue, which is where each feed's entries are saved
// (saveArticles); a caller that moves its completion work to the main queue finds every save of
// the run done before it.
//
// The run, on a background thread of its own:
//  - reads the subscription list in its stored order. No list, or one that cannot be read or
//    decoded: onFeed once with success and no entries, then completion(none, 0); nothing is
//    written. An empty list: no feed is attempted, onFeed is never called, completion(none, 0);
//    the list stays stored as it was (there is no flag to write back).
//  - fetches and parses every feed, options.parallelFeeds at a time, in stored order. A
//    subscription whose address is not a URL is skipped with "Invalid url" on the console: no
//    report, its flag untouched. A feed that downloads and parses has its entries saved on the
//    main queue (a failed save is logged only: the feed was already reported) and is reported
//    as a success; a feed that fails is reported with its error. Every feed's save is submitted
//    before completion is called.
//  - records each attempted feed's outcome in its subscription's error flag (true: failed),
//    then calls completion.
//
// The flags are written onto the list as stored at the end of the run, in one atomic update
// (updateStoredWebs): each subscription is found by its address and title together. A
// subscription added or removed while the run was in flight stays added or removed; one whose
// address or title changed meanwhile keeps its flag. When no flag changes, nothing is written.
// A failed write is logged, and completion is still called.
//
// Runs do not wait for each other: each reads, fetches and writes back on its own. The
// process must not exit while a run is in flight (wait for completion).
void refreshFeeds(FeedCallback onFeed, RefreshCompletion completion, RefreshOptions options = {});

}  // namespace pressling
