#include "flows/Refresh.h"

#include "feedparse/RSSParser.h"
#include "flows/LastRefreshErrors.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Url.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

// Where the work runs, and why not all of it on the global queue: the global queue is a pool of
// max(4, 2 x cores) threads, four on a small machine. Feeds downloaded there would go four at a
// time, a few stalled servers would hold the whole pool (and the catalog's work queued behind
// them) until their time-outs, and a run blocked in a wait on a pool thread while its feeds
// still need pool threads deadlocks once enough runs are waiting at once. So a run owns its
// threads: one that reads the list, fetches feeds itself and waits, and up to
// RefreshOptions::parallelFeeds - 1 helpers that fetch alongside it. Nothing a run waits for
// needs a pool thread, so no number of runs, nor a busy pool, can stall one.

namespace pressling {
namespace {

// One run's shared state. webs is written before any fetching thread starts and only read
// afterwards; outcomes and lastError are written by the fetching threads under mutex and read
// by the run's thread after it has joined them; the save tally is the main queue's alone.
struct Run {
    FeedCallback onFeed;
    RefreshCompletion completion;
    RefreshOptions options;

    std::vector<Web> webs;  // in stored order, as read at the start
    std::atomic<std::size_t> nextFeed{0};

    std::mutex mutex;
    // The error flag the run decided for each subscription; none for a skipped one.
    std::vector<std::optional<bool>> outcomes;
    std::optional<RefreshError> lastError;

    std::size_t unsavedFeeds = 0;
    std::optional<StoreError> lastSaveError;
};

// The runs in flight, so that the process's exit waits for them rather than destroying what
// they use while they still run. refreshFeeds makes it after the default list store, so it is
// destroyed first, among the static objects at exit. From then on runs start no further feed
// and hand nothing to the main queue (whose owner is gone by then) nor to their callers'
// callbacks; the wait lasts as long as the downloads under way, which their limits bound.
class RunsInFlight {
public:
    RunsInFlight() = default;
    RunsInFlight(const RunsInFlight&) = delete;
    RunsInFlight& operator=(const RunsInFlight&) = delete;
    ~RunsInFlight() {
        stopping_.store(true);
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return runs_ == 0; });
    }

    bool stopping() const { return stopping_.load(); }
    void enter() {
        std::lock_guard lock(mutex_);
        ++runs_;
    }
    void leave() {
        std::lock_guard lock(mutex_);
        --runs_;
        idle_.notify_all();
    }

private:
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable idle_;
    std::size_t runs_ = 0;
};

RunsInFlight& runsInFlight() {
    static RunsInFlight runs;
    return runs;
}

bool exiting() { return runsInFlight().stopping(); }

KeyValueStore& listStore(const Run& run) {
    return run.options.listStore ? *run.options.listStore : KeyValueStore::defaultStore();
}

// The list in stored order; none when there is no list, or it cannot be read or decoded. Unlike
// loadStoredWebs, an empty list is told apart from a missing one.
std::optional<std::vector<Web>> readList(KeyValueStore& store) {
    auto bytes = store.dataForKey(kStoredWebsKey);
    if (!bytes) {
        log::warning(
            fmt::format("Refresh: cannot read the subscription list: {}", bytes.error().message));
        return std::nullopt;
    }
    if (!*bytes) return std::nullopt;
    auto webs = decodeWebs(**bytes);
    if (!webs) {
        log::warning(fmt::format("Refresh: the subscription list \"{}\" in {} cannot be decoded",
                                 kStoredWebsKey, store.file().string()));
    }
    return webs;
}

void report(Run& run, FeedResult result) {
    if (run.onFeed && !exiting()) run.onFeed(std::move(result));
}

void decide(Run& run, std::size_t index, bool error) {
    if (!error) LastRefreshErrors::shared().forget(run.webs[index].url);
    std::lock_guard lock(run.mutex);
    run.outcomes[index] = error;
}

void fail(Run& run, std::size_t index, RefreshError error) {
    LastRefreshErrors::shared().record(run.webs[index].url, error.message);
    {
        std::lock_guard lock(run.mutex);
        run.outcomes[index] = true;
        run.lastError = error;
    }
    report(run, std::unexpected(std::move(error)));
}

void saveOnMainQueue(const std::shared_ptr<Run>& run, std::vector<Article> articles) {
    if (exiting()) return;
    mainQueue().async([run, articles = std::move(articles)] {
        ArticleStore* store = run->options.articleStore;
        auto saved = store ? saveArticles(articles, *store) : saveArticles(articles);
        if (saved) return;
        log::error(fmt::format("Refresh: the entries of {} were not stored: {}",
                               articles.front().blogLink, saved.error().message));
        ++run->unsavedFeeds;
        run->lastSaveError = std::move(saved.error());
    });
}

void refreshFeed(const std::shared_ptr<Run>& shared, std::size_t index) {
    Run& run = *shared;
    const Web& web = run.webs[index];
    const auto url = Url::parse(web.url);
    if (!url) {
        log::warning(fmt::format("Invalid url: \"{}\" of \"{}\"", web.url, web.title));
        return;
    }
    auto parser = RSSParser::fromUrl(*url, run.options.download);
    if (!parser) return fail(run, index, RefreshError::fromDownload(parser.error()));
    decide(run, index, false);
    auto entries = (*parser)->parse();
    if (!entries) {
        return fail(run, index, RefreshError::fromParse(url->absoluteString(), entries.error()));
    }
    // saveArticles does nothing at all with no entries; no need to wake the main queue for it.
    if (!entries->empty()) saveOnMainQueue(shared, *entries);
    report(run, std::move(*entries));
}

// Takes feeds in stored order until none is left. An exception from onFeed is logged, as the
// global queue does, so that one faulty callback cannot end the process or the run.
void fetchFeeds(const std::shared_ptr<Run>& run) {
    for (;;) {
        if (exiting()) return;
        const std::size_t index = run->nextFeed.fetch_add(1);
        if (index >= run->webs.size()) return;
        try {
            refreshFeed(run, index);
        } catch (const std::exception& error) {
            log::error(fmt::format("Refresh: a feed's report threw: {}", error.what()));
        } catch (...) {
            log::error("Refresh: a feed's report threw something that is not an exception");
        }
    }
}

// Fetches every feed on this thread and up to parallelFeeds - 1 helpers, and returns once all
// are done. A helper that cannot be started only makes the run slower.
void fetchAll(const std::shared_ptr<Run>& run) {
    const std::size_t threads =
        std::clamp<std::size_t>(run->options.parallelFeeds, 1, run->webs.size());
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&run] { fetchFeeds(run); });
        } catch (const std::system_error& error) {
            log::warning(fmt::format("Refresh: running with {} threads instead of {}: {}",
                                     helpers.size() + 1, threads, error.what()));
            break;
        }
    }
    fetchFeeds(run);
    // Joining is the wait for every feed: afterwards each save was submitted and each outcome
    // is visible here.
    helpers.clear();
}

// Writes the run's flags onto the list as it is stored now, so that a subscription added or
// removed during the run (by the add flow, the share helper, another run) is neither lost nor
// restored. Subscriptions pair up by exact address and title; when the same pair occurs more
// than once, the n-th of the run's list goes with the n-th stored one.
void writeBack(Run& run) {
    auto written = updateStoredWebs(
        [&run](const std::vector<Web>& stored) -> std::optional<std::vector<Web>> {
            std::map<std::pair<std::string_view, std::string_view>, std::deque<std::size_t>>
                positions;
            for (std::size_t i = 0; i < stored.size(); ++i) {
                positions[{stored[i].url, stored[i].title}].push_back(i);
            }
            std::vector<Web> next = stored;
            bool changed = false;
            for (std::size_t i = 0; i < run.webs.size(); ++i) {
                auto found = positions.find({run.webs[i].url, run.webs[i].title});
                if (found == positions.end() || found->second.empty()) continue;
                const std::size_t position = found->second.front();
                found->second.pop_front();
                const auto& outcome = run.outcomes[i];
                if (outcome && next[position].error != outcome) {
                    next[position].error = outcome;
                    changed = true;
                }
            }
            if (!changed) return std::nullopt;
            return next;
        },
        listStore(run));
    if (!written) {
        log::error(fmt::format("Refresh: the feeds' error flags were not saved: {}",
                               written.error().message));
    }
}

// Queued behind every save of the run, so the outcome counts them all.
void complete(const std::shared_ptr<Run>& run) {
    if (!run->completion || exiting()) return;
    mainQueue().async([run] {
        const RefreshOutcome outcome{run->lastError, run->webs.size(), run->unsavedFeeds,
                                     run->lastSaveError};
        try {
            run->completion(outcome);
        } catch (const std::exception& error) {
            log::error(fmt::format("Refresh: the completion threw: {}", error.what()));
        } catch (...) {
            log::error("Refresh: the completion threw something that is not an exception");
        }
    });
}

void runRefresh(const std::shared_ptr<Run>& run) {
    auto webs = readList(listStore(*run));
    if (!webs) {
        try {
            report(*run, std::vector<Article>{});
        } catch (...) {
            log::error("Refresh: the report of an empty run threw");
        }
        return complete(run);
    }
    run->webs = std::move(*webs);
    run->outcomes.assign(run->webs.size(), std::nullopt);
    if (!run->webs.empty()) {
        fetchAll(run);
        writeBack(*run);
    }
    complete(run);
}

}  // namespace

RefreshError RefreshError::fromDownload(const DownloadError& error) {
    return RefreshError{Kind::download, error.message, error.kind};
}

RefreshError RefreshError::fromParse(const std::string& url, const ParserError& error) {
    return RefreshError{Kind::parse, fmt::format("{}: {}", url, error.message()), std::nullopt};
}

void refreshFeeds(FeedCallback onFeed, RefreshCompletion completion, RefreshOptions options) {
    auto run = std::make_shared<Run>();
    run->onFeed = std::move(onFeed);
    run->completion = std::move(completion);
    run->options = std::move(options);
    // The default store first: made before the runs' guard, it outlives the guard's wait.
    if (!run->options.listStore) run->options.listStore = &KeyValueStore::defaultStore();
    RunsInFlight& runs = runsInFlight();
    runs.enter();
    // The thread lets go of the run (and the callbacks' captures) before exit may go on.
    auto body = [run, &runs]() mutable {
        runRefresh(run);
        run.reset();
        runs.leave();
    };
    try {
        std::thread(body).detach();
    } catch (const std::system_error& error) {
        // Still safe on the pool: the run fetches on its own thread too, so its wait never
        // depends on another pool thread.
        log::warning(fmt::format("Refresh: no thread of its own ({}); using the global queue",
                                 error.what()));
        globalAsync(std::move(body));
    }
}

}  // namespace pressling
