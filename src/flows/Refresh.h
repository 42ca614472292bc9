#pragma once

#include "feedparse/Article.h"
#include "feedparse/ParserError.h"
#include "platform/Download.h"
#include "store/StoreError.h"

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

// What one run did, handed to its completion. A plain value; any thread.
struct RefreshOutcome {
    // The error of the last feed to fail (which one, when several fail, depends on timing), or
    // none.
    std::optional<RefreshError> lastError;
    // The subscriptions read at the start, feeds skipped for an unusable address included.
    std::size_t count = 0;
    // Feeds that downloaded and parsed but whose entries could not be stored (a full disk, a
    // damaged store), and the store's error for the last of them. Such a feed was reported to
    // onFeed as a success: its download worked. 0 and none when every save worked.
    std::size_t unsavedFeeds = 0;
    std::optional<StoreError> lastSaveError;

    bool savesFailed() const { return unsavedFeeds > 0; }
};

// Called once at the end of a run, on the main queue, after every save of the run has run.
using RefreshCompletion = std::function<void(const RefreshOutcome& outcome)>;

struct RefreshOptions {
    // Limits of each feed's download. Tests shorten them; the defaults (see Download.h) bound a
    // stalled server by the low-speed abort, 20 s.
    DownloadOptions download{};

    // How many feeds are in hand at once: downloading (all of them on one thread, through
    // DownloadLoop), waiting to be parsed, or being parsed. Default: 32; 0 counts as 1. At
    // most 6 of the downloads go to one host at a time.
    std::size_t parallelFeeds = 32;

    // How many parsed feeds may wait for their save on the main queue (and so be saved
    // together); a parser that would exceed it waits, and with it the downloads. Default: 8;
    // 0 counts as 1.
    std::size_t waitingSaves = 8;

    // The subscription list's store. Default (null): KeyValueStore::defaultStore(). Must
    // outlive the run, that is until completion has been called.
    KeyValueStore* listStore = nullptr;

    // The store each feed's entries are saved to. Default (null): persistentContainer()'s.
    // Must outlive the run, that is until completion has been called.
    ArticleStore* articleStore = nullptr;
};

// Brings the article store up to date with every subscribed feed, and returns at once.
// Any thread. REQUIRES: an installed main queue, which is where each feed's entries are saved
// (saveArticles) and where completion runs, after the last save.
//
// One run at a time per list: a request while a run on the same list store and article store
// is in flight does not start another at once; every such request joins the one run that starts
// after the current one ends (ten requests during a run make one more run, not ten), and each
// requester gets that run's reports and its completion. Requests on other stores run apart.
// The run takes its options from the request that started it.
//
// The run, on a background thread of its own:
//  - reads the subscription list in its stored order. No list, or one that cannot be read or
//    decoded: onFeed once with success and no entries, then completion with count 0; nothing is
//    written. An empty list: no feed is attempted, onFeed is never called, completion with
//    count 0; the list stays stored as it was (there is no flag to write back).
//  - fetches every feed, parallelFeeds at a time, starting them in stored order, and parses
//    each on a small pool of threads, where its entries are also made ready to store
//    (prepareArticles). A subscription whose address is not a URL is skipped with "Invalid
//    url" on the console: no report, its flag untouched. A feed that downloads and parses has
//    its entries saved on the main queue and is reported as a success: the feeds waiting
//    there are saved together, in order, in one save (saveArticles short of its save for
//    each, then one save). A failed save is logged and counts every feed it held in the
//    outcome (unsavedFeeds). A feed that fails is reported with its error.
//  - asks conditionally: a feed whose last answer carried an ETag or Last-Modified (kept in
//    FeedValidators beside the list) is requested with If-None-Match / If-Modified-Since, and
//    a 304 answer is a success with no entries (nothing parsed, nothing saved). Validators are
//    kept only once the entries they came with are saved, and only for a feed whose entries the
//    clean-up keeps (their blogLink and web are the subscription's address and title), so a
//    feed whose articles are gone is downloaded in full again.
//  - honours a 429 or 503 with Retry-After: the feed fails with that reason, and later runs
//    report it failed ("not asked again before ...") without asking the server until then.
//  - records each attempted feed's outcome in its subscription's error flag (true: the
//    download or the parse failed), then submits completion to the main queue.
//
// The flags are written onto the list as stored at the end of the run, in one atomic update
// (updateStoredWebs): each subscription is found by its address and title together. A
// subscription added or removed while the run was in flight stays added or removed; one whose
// address or title changed meanwhile keeps its flag. When no flag changes, nothing is written.
// A failed write is logged, and completion is still called.
//
// A process that exits while a run is in flight waits for it at exit (among the static
// objects, after main has returned or exit was called): it starts no further feed, finishes
// the downloads under way (bounded by options.download), writes the flags back, and calls
// nothing more of the callers' nor submits anything to the main queue (the entries fetched
// then are not saved); a run that was waiting to start does not start. Explicit stores given
// in options must stay alive until then; the main queue's owner should still not be destroyed
// while a run may submit to it (wait for completion where you can).
void refreshFeeds(FeedCallback onFeed, RefreshCompletion completion, RefreshOptions options = {});

}  // namespace pressling
