#include "flows/Refresh.h"

#include "feedparse/RSSParser.h"
#include "flows/FeedValidators.h"
#include "flows/LastRefreshErrors.h"
#include "platform/DownloadLoop.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Url.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

// Where the work runs. A run owns one thread that reads the list, hands every feed to one
// DownloadLoop (one more thread, all transfers of the run, connections reused) and waits; a
// few parsing threads of its own; and the main queue for the saves. Nothing a run waits for
// needs a thread of the global queue, so no number of runs, nor a busy pool, can stall one.
// Memory stays bounded: at most parallelFeeds feeds are in hand (downloading, waiting for a
// parser, parsing) and at most waitingSaves parsed feeds wait for the main queue; a parser
// that finds the saves' queue full waits, and so the loop admits no further feed.

namespace pressling {
namespace {

constexpr std::size_t kMaxTransfersPerHost = 6;

// A parsed feed waiting for its save.
struct ReadySave {
    PreparedArticles articles;
    std::string url;
    FeedValidator validator;
};

struct Requester {
    FeedCallback onFeed;
    RefreshCompletion completion;
};

// One run's shared state. webs and validators are written before any feed starts and only
// read afterwards; what mutex guards is written by the parsers and the main queue and read by
// the run's thread once every feed is done; the save tally is the main queue's alone.
struct Run {
    std::vector<Requester> requesters;
    RefreshOptions options;

    std::vector<Web> webs;                            // in stored order, as read at the start
    std::map<std::string, FeedValidator> validators;  // by address, as stored at the start

    std::mutex mutex;
    std::condition_variable changed;
    // The error flag the run decided for each subscription; none for a skipped one.
    std::vector<std::optional<bool>> outcomes;
    std::optional<RefreshError> lastError;
    std::size_t inHand = 0;             // feeds handed to the loop and not yet done with
    std::size_t waitingSaves = 0;       // feeds queued for the main queue's save and not yet saved
    std::vector<ReadySave> readySaves;  // queued and not yet taken by the main queue, in order
    // What to remember of each feed's answer, written in the completion's step.
    std::map<std::string, FeedValidator> validatorUpdates;

    std::size_t unsavedFeeds = 0;
    std::optional<StoreError> lastSaveError;
};

// Runs one at a time per pair of stores, and the process's exit. The coordinator is made after
// the default list store, so it is destroyed first, among the static objects at exit; from
// then on runs start no further feed nor any waiting run, and hand nothing to the main queue
// (whose owner is gone by then) nor to their callers; the wait lasts as long as the downloads
// under way, which their limits bound.
class Coordinator {
public:
    using Key = std::pair<const KeyValueStore*, const ArticleStore*>;

    Coordinator() = default;
    Coordinator(const Coordinator&) = delete;
    Coordinator& operator=(const Coordinator&) = delete;
    ~Coordinator() {
        stopping_.store(true);
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return slots_.empty(); });
    }

    bool stopping() const { return stopping_.load(); }

    // True when the caller is to start a run for key; otherwise requester joins the run after
    // the one in flight.
    bool request(const Key& key, Requester requester, const RefreshOptions& options) {
        std::lock_guard lock(mutex_);
        auto [slot, fresh] = slots_.try_emplace(key);
        if (fresh) return true;
        if (slot->second.next.empty()) slot->second.nextOptions = options;
        slot->second.next.push_back(std::move(requester));
        return false;
    }

    // After a run for key: the requesters of the next one, with their options, or none when
    // there is no next run (key is then free again).
    std::optional<std::pair<std::vector<Requester>, RefreshOptions>> next(const Key& key) {
        std::lock_guard lock(mutex_);
        auto slot = slots_.find(key);
        if (slot->second.next.empty() || stopping()) {
            slots_.erase(slot);
            idle_.notify_all();
            return std::nullopt;
        }
        auto taken = std::make_pair(std::move(slot->second.next), slot->second.nextOptions);
        slot->second.next.clear();
        return taken;
    }

private:
    struct Slot {
        std::vector<Requester> next;
        RefreshOptions nextOptions;
    };
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable idle_;
    std::map<Key, Slot> slots_;  // a key is present while a run for it is in flight
};

Coordinator& coordinator() {
    static Coordinator runs;
    return runs;
}

bool exiting() { return coordinator().stopping(); }

// Waits on run.changed until ready holds, or the process exits. The exit wakes nobody, so the
// wait looks again now and then.
template <typename Ready>
void waitFor(Run& run, std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!ready() && !exiting()) run.changed.wait_for(lock, std::chrono::milliseconds(50));
}

KeyValueStore& listStore(const Run& run) { return *run.options.listStore; }

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

// Each requester gets its own copy but the last, which gets the result itself. An exception
// from a callback is logged, so that one faulty callback cannot end the process or the run.
void report(Run& run, FeedResult result) {
    if (exiting()) return;
    for (std::size_t i = 0; i < run.requesters.size(); ++i) {
        const FeedCallback& onFeed = run.requesters[i].onFeed;
        if (!onFeed) continue;
        try {
            onFeed(i + 1 == run.requesters.size() ? std::move(result) : result);
        } catch (const std::exception& error) {
            log::error(fmt::format("Refresh: a feed's report threw: {}", error.what()));
        } catch (...) {
            log::error("Refresh: a feed's report threw something that is not an exception");
        }
    }
}

void decide(Run& run, std::size_t index, bool error) {
    if (!error) LastRefreshErrors::shared().forget(run.webs[index].url);
    std::lock_guard lock(run.mutex);
    run.outcomes[index] = error;
}

void remember(Run& run, const std::string& url, FeedValidator validator) {
    std::lock_guard lock(run.mutex);
    run.validatorUpdates[url] = std::move(validator);
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

const FeedValidator* storedValidator(const Run& run, const std::string& url) {
    auto found = run.validators.find(url);
    return found == run.validators.end() ? nullptr : &found->second;
}

// On the main queue: the feeds queued by then, in their order, in one save. The validators are
// kept once the entries are saved: kept before, a failed save would leave the feed's entries
// out of the store for as long as the feed does not change.
void storeReadySaves(Run& run) {
    std::vector<ReadySave> batch;
    {
        std::lock_guard lock(run.mutex);
        batch.swap(run.readySaves);
    }
    ArticleStore& store =
        run.options.articleStore ? *run.options.articleStore : persistentContainer();
    std::vector<bool> staged(batch.size(), false);
    std::optional<StoreError> failure;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        auto done = stageArticles(batch[i].articles, store);
        staged[i] = done.has_value();
        if (!done) failure = std::move(done.error());
    }
    auto saved = store.save();
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (staged[i] && saved) continue;
        log::error(fmt::format("Refresh: the entries of {} were not stored: {}", batch[i].url,
                               staged[i] ? saved.error().message : failure->message));
        ++run.unsavedFeeds;
        batch[i].validator = FeedValidator{};
    }
    if (!saved) failure = std::move(saved.error());
    if (failure) run.lastSaveError = std::move(failure);
    std::lock_guard lock(run.mutex);
    for (ReadySave& ready : batch) {
        run.validatorUpdates[ready.url] = std::move(ready.validator);
    }
    run.waitingSaves -= batch.size();
    run.changed.notify_all();
}

// Queues a parsed feed for the main queue, which stores every feed queued by then in one save.
void saveOnMainQueue(const std::shared_ptr<Run>& run, PreparedArticles articles, std::string url,
                     FeedValidator validator) {
    bool first = false;
    {
        std::unique_lock lock(run->mutex);
        waitFor(*run, lock, [&] { return run->waitingSaves < run->options.waitingSaves; });
        if (exiting()) return;
        ++run->waitingSaves;
        first = run->readySaves.empty();
        run->readySaves.push_back({std::move(articles), std::move(url), std::move(validator)});
    }
    if (first) mainQueue().async([run] { storeReadySaves(*run); });
}

// On a parsing thread: what the loop brought for subscription index.
void handleAnswer(const std::shared_ptr<Run>& shared, std::size_t index, const std::string& url,
                  DownloadResult answer) {
    Run& run = *shared;
    const Web& web = run.webs[index];
    const FeedValidator* stored = storedValidator(run, web.url);
    if (!answer) {
        if (const auto pause = answer.error().retryAfter) {
            FeedValidator paused = stored ? *stored : FeedValidator{};
            paused.retryAfter = std::chrono::time_point_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now() + *pause);
            remember(run, web.url, std::move(paused));
        }
        return fail(run, index, RefreshError::fromDownload(answer.error()));
    }
    decide(run, index, false);
    if (answer->notModified()) {
        if (stored && stored->retryAfter) {
            remember(run, web.url, FeedValidator{stored->etag, stored->lastModified, {}});
        }
        return report(run, std::vector<Article>{});
    }
    RSSParser parser(std::move(answer->body), url);
    auto entries = parser.parse();
    if (!entries) return fail(run, index, RefreshError::fromParse(url, entries.error()));

    // Entries the clean-up deletes at the next activation (their feed's address or title is
    // not the subscription's) must come back with the next refresh: no validators for them.
    const bool cleanUpKeepsThem = entries->empty() || (entries->front().blogLink == web.url &&
                                                       entries->front().web == web.title);
    FeedValidator validator;
    if (cleanUpKeepsThem) validator = {answer->etag, answer->lastModified, {}};
    // saveArticles does nothing at all with no entries; no need to wake the main queue for it.
    if (entries->empty()) {
        remember(run, web.url, std::move(validator));
    } else {
        // Made ready here, so that the main queue's share of the save is small.
        saveOnMainQueue(shared, prepareArticles(*entries), web.url, std::move(validator));
    }
    report(run, std::move(*entries));
}

// Parses what the loop downloaded, on a few threads of the run's own.
class ParsePool {
public:
    explicit ParsePool(std::size_t threads) {
        for (std::size_t i = 0; i < threads; ++i) {
            try {
                threads_.emplace_back([this] { work(); });
            } catch (const std::system_error& error) {
                if (threads_.empty()) throw;
                log::warning(fmt::format("Refresh: parsing on {} threads instead of {}: {}",
                                         threads_.size(), threads, error.what()));
                break;
            }
        }
    }
    // Parses everything submitted, then stops.
    ~ParsePool() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ready_.notify_all();
        threads_.clear();
    }

    void submit(std::function<void()> job) {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        ready_.notify_one();
    }

private:
    void work() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return done_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    bool done_ = false;
    std::vector<std::jthread> threads_;
};

std::string describeDate(Date date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02} UTC", utc.tm_year + 1900,
                       utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

// Hands every feed to the loop in stored order, parallelFeeds in hand at a time, and returns
// once every one is done with: its save submitted, its outcome and report made.
void fetchAll(const std::shared_ptr<Run>& run, FeedValidators* validators) {
    Run& state = *run;
    if (validators) {
        if (auto loaded = validators->load()) {
            state.validators = std::move(*loaded);
        } else {
            log::warning(
                fmt::format("Refresh: the saved validators cannot be read ({}); every "
                            "feed is downloaded in full",
                            loaded.error()));
        }
    }
    // Subscriptions no longer listed lose their validators.
    std::set<std::string_view> listed;
    for (const Web& web : state.webs) listed.insert(web.url);
    for (const auto& [url, validator] : state.validators) {
        if (!listed.contains(url)) remember(state, url, FeedValidator{});
    }

    const std::size_t inHandLimit = std::max<std::size_t>(1, state.options.parallelFeeds);
    ParsePool parsers(std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4));
    DownloadLoop loop(state.options.download, {inHandLimit, kMaxTransfersPerHost});
    const auto now = std::chrono::system_clock::now();
    for (std::size_t index = 0; index < state.webs.size() && !exiting(); ++index) {
        const Web& web = state.webs[index];
        const auto url = Url::parse(web.url);
        if (!url) {
            log::warning(fmt::format("Invalid url: \"{}\" of \"{}\"", web.url, web.title));
            continue;
        }
        DownloadRequest request{url->absoluteString(), {}, {}};
        if (const FeedValidator* stored = storedValidator(state, web.url)) {
            if (stored->retryAfter && *stored->retryAfter > now) {
                fail(state, index,
                     RefreshError::fromDownload(
                         DownloadError{DownloadError::Kind::httpStatus,
                                       fmt::format("{} asked not to be asked again before {}",
                                                   request.url, describeDate(*stored->retryAfter)),
                                       0,
                                       {}}));
                continue;
            }
            request.etag = stored->etag;
            request.lastModified = stored->lastModified;
        }
        {
            std::unique_lock lock(state.mutex);
            waitFor(state, lock, [&] { return state.inHand < inHandLimit; });
            if (exiting()) break;
            ++state.inHand;
        }
        loop.add(std::move(request), [run, index, &parsers,
                                      text = url->absoluteString()](DownloadResult answer) mutable {
            parsers.submit(
                [run, index, text = std::move(text), answer = std::move(answer)]() mutable {
                    try {
                        handleAnswer(run, index, text, std::move(answer));
                    } catch (const std::exception& error) {
                        log::error(fmt::format("Refresh: {} failed: {}", text, error.what()));
                    }
                    std::lock_guard lock(run->mutex);
                    --run->inHand;
                    run->changed.notify_all();
                });
        });
    }
    // Every feed in hand ends: the loop's limits bound each download, and at exit the saves'
    // queue no longer holds a parser back.
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, [&] { return state.inHand == 0; });
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

// Queued behind every save of the run, so the outcome counts them all and every validator to
// keep is known.
void complete(const std::shared_ptr<Run>& run, std::shared_ptr<FeedValidators> validators) {
    if (exiting()) return;
    mainQueue().async([run, validators = std::move(validators)] {
        if (validators) {
            if (auto stored = validators->store(run->validatorUpdates); !stored) {
                log::warning(fmt::format("Refresh: the feeds' validators were not saved: {}",
                                         stored.error()));
            }
        }
        const RefreshOutcome outcome{run->lastError, run->webs.size(), run->unsavedFeeds,
                                     run->lastSaveError};
        for (const Requester& requester : run->requesters) {
            if (!requester.completion) continue;
            try {
                requester.completion(outcome);
            } catch (const std::exception& error) {
                log::error(fmt::format("Refresh: the completion threw: {}", error.what()));
            } catch (...) {
                log::error("Refresh: the completion threw something that is not an exception");
            }
        }
    });
}

void runRefresh(const std::shared_ptr<Run>& run) {
    auto webs = readList(listStore(*run));
    if (!webs) {
        report(*run, std::vector<Article>{});
        return complete(run, nullptr);
    }
    run->webs = std::move(*webs);
    run->outcomes.assign(run->webs.size(), std::nullopt);
    if (run->webs.empty()) return complete(run, nullptr);

    std::shared_ptr<FeedValidators> validators;
    if (auto opened = FeedValidators::open(listStore(*run))) {
        validators = std::make_shared<FeedValidators>(std::move(*opened));
    } else {
        log::warning(
            fmt::format("Refresh: no saved validators ({}); every feed is downloaded "
                        "in full",
                        opened.error()));
    }
    fetchAll(run, validators.get());
    writeBack(*run);
    complete(run, std::move(validators));
}

// Runs for key, one after another, as long as requests keep arriving during them.
void runInTurn(std::shared_ptr<Run> run, Coordinator::Key key) {
    for (;;) {
        runRefresh(run);
        // Lets go of the run (and the callbacks' captures) before exit may go on.
        run.reset();
        auto next = coordinator().next(key);
        if (!next) return;
        run = std::make_shared<Run>();
        run->requesters = std::move(next->first);
        run->options = std::move(next->second);
    }
}

}  // namespace

RefreshError RefreshError::fromDownload(const DownloadError& error) {
    return RefreshError{Kind::download, error.message, error.kind};
}

RefreshError RefreshError::fromParse(const std::string& url, const ParserError& error) {
    return RefreshError{Kind::parse, fmt::format("{}: {}", url, error.message()), std::nullopt};
}

void refreshFeeds(FeedCallback onFeed, RefreshCompletion completion, RefreshOptions options) {
    // The default store first: made before the coordinator, it outlives the coordinator's wait.
    if (!options.listStore) options.listStore = &KeyValueStore::defaultStore();
    options.waitingSaves = std::max<std::size_t>(1, options.waitingSaves);
    const Coordinator::Key key{options.listStore, options.articleStore};
    Requester requester{std::move(onFeed), std::move(completion)};
    if (!coordinator().request(key, requester, options)) return;

    auto run = std::make_shared<Run>();
    run->requesters.push_back(std::move(requester));
    run->options = std::move(options);
    auto body = [run, key]() mutable { runInTurn(std::move(run), key); };
    try {
        std::thread(body).detach();
    } catch (const std::system_error& error) {
        // Still safe on the pool: the run fetches on threads of its own, so its wait never
        // depends on another pool thread.
        log::warning(fmt::format("Refresh: no thread of its own ({}); using the global queue",
                                 error.what()));
        globalAsync(std::move(body));
    }
}

}  // namespace pressling
