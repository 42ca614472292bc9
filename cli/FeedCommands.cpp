#include "FeedCommands.h"

#include "Json.h"
#include "MainLoop.h"
#include "Printable.h"
#include "flows/AddFeed.h"
#include "flows/Cleanup.h"
#include "flows/OpenURL.h"
#include "flows/Refresh.h"
#include "flows/RemoveFeed.h"
#include "platform/Date.h"
#include "platform/Log.h"
#include "store/FetchedResultsController.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <atomic>
#include <ctime>
#include <iostream>
#include <mutex>

namespace pressling::cli {
namespace {

// A refresh waits for every feed, and each feed's download is bounded (a minute at most);
// this only guards against a fault that would otherwise hang a cron job for ever.
constexpr std::chrono::minutes kRefreshTimeLimit{15};

// The add flow downloads in the background; each download is bounded (a minute at most), so
// this only guards against a fault that would otherwise hang for ever.
constexpr std::chrono::minutes kAddTimeLimit{5};

// Shows what the add flow would show on screen, as lines on stdout.
class ConsolePresenter final : public SubscribePresenter {
public:
    bool alerted = false;
    bool done = false;  // the outcome was shown
    void showTransientMessage(std::string_view text) override { std::cout << text << '\n'; }
    void presentAlert(const Alert& alert, std::string_view reason) override {
        alerted = true;
        std::cout << alert.title << ": " << alert.message << '\n' << printable(reason) << '\n';
    }
};

std::string localTime(std::string_view format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    const std::string pattern(format);
    return std::string(text, std::strftime(text, sizeof text, pattern.c_str(), &local));
}

}  // namespace

int runAddCommand(std::string_view text) {
    const auto url = normalizeOpenedURL(text);
    if (!url) {
        std::cerr << "pressling-cli: not a URL: " << printable(text) << '\n';
        return 1;
    }

    const auto presenter = std::make_shared<ConsolePresenter>();
    subscribe(
        *url, [&] { return presenter; }, [presenter] { presenter->done = true; });
    if (!mainLoop().runUntil([&] { return presenter->done; }, kAddTimeLimit)) {
        std::cerr << "pressling-cli: the check did not finish\n";
        return 1;
    }
    finishBackgroundWork();
    return presenter->alerted ? 1 : 0;
}

int runRemoveCommand(std::size_t position) {
    const auto webs = loadWebs();
    if (position == 0 || position > webs.size()) {
        std::cerr << "pressling-cli: there is no subscription " << position << " (the list has "
                  << webs.size() << ")\n";
        return 1;
    }
    const Web& web = webs[position - 1];
    if (auto removed = removeWeb(position - 1); !removed) {
        std::cerr << "pressling-cli: cannot remove " << printable(web.title) << ": "
                  << removed.error().message << '\n';
        return 1;
    }
    std::cout << "Removed " << printable(web.title) << " (" << printable(web.url) << ")\n";
    finishBackgroundWork();
    return 0;
}

int runRefreshCommand() {
    RunLoop& loop = mainLoop();
    ArticleStore& store = persistentContainer();

    std::mutex failuresMutex;
    std::vector<std::string> failures;
    std::atomic<std::size_t> failureCount = 0;
    std::optional<RefreshOutcome> outcome;

    refreshFeeds(
        [&](FeedResult result) {
            if (result) return;
            ++failureCount;
            std::lock_guard lock(failuresMutex);
            failures.push_back(result.error().message);
        },
        // On the main queue, behind every feed's save: the store is complete when this runs.
        [&](const RefreshOutcome& finished) { outcome = finished; });
    if (!loop.runUntil([&] { return outcome.has_value(); }, kRefreshTimeLimit)) {
        std::cerr << "pressling-cli: the refresh did not finish\n";
        return 1;
    }

    for (const auto& failure : failures) std::cout << "failed: " << failure << '\n';
    std::cout << "Updated at " << localTime("%H:%M") << '\n';
    const std::size_t failed = failureCount.load();
    if (outcome->lastError && failed == outcome->count) {
        std::cout << "No internet connection\n";
        return 1;
    }
    if (outcome->savesFailed()) {
        std::cout << "The articles of " << outcome->unsavedFeeds
                  << (outcome->unsavedFeeds == 1 ? " feed" : " feeds")
                  << " could not be saved: " << outcome->lastSaveError->message << '\n';
        return 1;
    }
    if (failed > 0) {
        std::cout << failed << (failed == 1 ? " feed with errors\n" : " feeds with errors\n");
    } else {
        FetchedResultsController all(store);
        if (all.performFetch()) std::cout << all.fetchedObjectCount() << " articles loaded\n";
    }
    finishBackgroundWork();
    return 0;
}

int runArticlesCommand(const ArticlesOptions& options) {
    ArticlePredicate predicate;
    predicate.blogLinkEquals = options.feed;
    predicate.search = options.search;
    const std::size_t limit = options.limit;
    FetchedResultsController results(persistentContainer(), predicate);
    if (auto fetched = results.performFetch(); !fetched) {
        std::cerr << "pressling-cli: " << fetched.error().message << '\n';
        return 1;
    }
    // The posts shown, each with its day, newest first.
    std::vector<std::pair<std::string, BlogPost>> shown;
    for (std::size_t section = 0; section < results.numberOfSections() && shown.size() < limit;
         ++section) {
        for (std::size_t row = 0; row < results.numberOfObjects(section) && shown.size() < limit;
             ++row) {
            auto post = results.objectAt({section, row});
            if (!post) {
                std::cerr << "pressling-cli: " << post.error().message << '\n';
                return 1;
            }
            shown.emplace_back(results.sectionName(section), std::move(*post));
        }
    }
    const auto text = [](const std::optional<std::string>& value) { return value.value_or(""); };
    const auto link = [](const BlogPost& post) {
        return post.link ? post.link->absoluteString() : std::string();
    };
    if (options.json) {
        Json list = Json::array();
        for (const auto& [day, post] : shown) {
            list.push_back(
                {{"day", day},
                 {"title", text(post.title)},
                 {"description", text(post.desc)},
                 {"web", text(post.web)},
                 {"blogLink", text(post.blogLink)},
                 {"link", link(post)},
                 {"pubDate", post.pubDate ? Json(toIso8601Utc(*post.pubDate)) : Json()}});
        }
        printJson(list);
        return 0;
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto& [day, post] = shown[i];
        if (i == 0 || day != shown[i - 1].first) {
            std::cout << (i == 0 ? "" : "\n") << (day.empty() ? "Previous..." : day) << '\n';
        }
        const std::string time =
            post.pubDate
                ? fmt::format("{:%H:%M}",
                              fmt::localtime(std::chrono::system_clock::to_time_t(*post.pubDate)))
                : std::string("--:--");
        std::cout << "  " << time << "  " << printable(text(post.web)) << "  "
                  << printable(text(post.title)) << "\n         " << printable(link(post)) << '\n';
    }
    return 0;
}

int runCleanupCommand() {
    if (auto cleaned = cleanUpArticles(); !cleaned) {
        std::cerr << "pressling-cli: " << cleaned.error().message << '\n';
        return 1;
    }
    return 0;
}

}  // namespace pressling::cli
