#include "FeedCommands.h"

#include "MainLoop.h"
#include "Printable.h"
#include "Usage.h"
#include "flows/AddFeed.h"
#include "flows/Cleanup.h"
#include "flows/OpenURL.h"
#include "flows/Refresh.h"
#include "flows/RemoveFeed.h"
#include "platform/Log.h"
#include "store/FetchedResultsController.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <atomic>
#include <charconv>
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

std::optional<std::size_t> positiveNumber(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
    return value;
}

std::string localTime(std::string_view format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    const std::string pattern(format);
    return std::string(text, std::strftime(text, sizeof text, pattern.c_str(), &local));
}

}  // namespace

int runAddCommand(std::span<const std::string_view> arguments) {
    if (arguments.size() != 1) return usageError("add needs one URL", kAddUsage);
    const auto url = normalizeOpenedURL(arguments[0]);
    if (!url) return usageError("not a URL: " + std::string(arguments[0]), kAddUsage);

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

int runRemoveCommand(std::span<const std::string_view> arguments) {
    if (arguments.size() != 1) return usageError("remove needs a position", kRemoveUsage);
    const auto position = positiveNumber(arguments[0]);
    if (!position) {
        return usageError("not a position: " + std::string(arguments[0]), kRemoveUsage);
    }
    const auto webs = loadWebs();
    if (*position > webs.size()) {
        std::cerr << "pressling-cli: there is no subscription " << *position << " (the list has "
                  << webs.size() << ")\n";
        return 1;
    }
    const Web& web = webs[*position - 1];
    if (auto removed = removeWeb(*position - 1); !removed) {
        std::cerr << "pressling-cli: cannot remove " << printable(web.title) << ": "
                  << removed.error().message << '\n';
        return 1;
    }
    std::cout << "Removed " << printable(web.title) << " (" << printable(web.url) << ")\n";
    finishBackgroundWork();
    return 0;
}

int runRefreshCommand(std::span<const std::string_view> arguments) {
    if (!arguments.empty()) return usageError("refresh takes no arguments", kRefreshUsage);
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

int runArticlesCommand(std::span<const std::string_view> arguments) {
    ArticlePredicate predicate;
    std::size_t limit = 50;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (i + 1 == arguments.size()) {
            return usageError(std::string(option) + " needs a value", kArticlesUsage);
        }
        const std::string_view value = arguments[++i];
        if (option == "--feed") {
            predicate.blogLinkEquals = std::string(value);
        } else if (option == "--search") {
            predicate.search = std::string(value);
        } else if (option == "--limit") {
            const auto number = positiveNumber(value);
            if (!number) return usageError("--limit needs a number above 0", kArticlesUsage);
            limit = *number;
        } else {
            return usageError("unknown option " + std::string(option), kArticlesUsage);
        }
    }

    FetchedResultsController results(persistentContainer(), predicate);
    if (auto fetched = results.performFetch(); !fetched) {
        std::cerr << "pressling-cli: " << fetched.error().message << '\n';
        return 1;
    }
    std::size_t shown = 0;
    for (std::size_t section = 0; section < results.numberOfSections() && shown < limit;
         ++section) {
        const std::string& day = results.sectionName(section);
        std::cout << (shown == 0 ? "" : "\n") << (day.empty() ? "Previous..." : day) << '\n';
        for (std::size_t row = 0; row < results.numberOfObjects(section) && shown < limit;
             ++row, ++shown) {
            const auto post = results.objectAt({section, row});
            if (!post) {
                std::cerr << "pressling-cli: " << post.error().message << '\n';
                return 1;
            }
            const std::string time =
                post->pubDate
                    ? fmt::format(
                          "{:%H:%M}",
                          fmt::localtime(std::chrono::system_clock::to_time_t(*post->pubDate)))
                    : std::string("--:--");
            std::cout << "  " << time << "  " << printable(post->web.value_or("")) << "  "
                      << printable(post->title.value_or("")) << "\n         "
                      << printable(post->link ? post->link->absoluteString() : std::string())
                      << '\n';
        }
    }
    return 0;
}

int runCleanupCommand(std::span<const std::string_view> arguments) {
    if (!arguments.empty()) return usageError("cleanup takes no arguments", kCleanupUsage);
    if (auto cleaned = cleanUpArticles(); !cleaned) {
        std::cerr << "pressling-cli: " << cleaned.error().message << '\n';
        return 1;
    }
    return 0;
}

}  // namespace pressling::cli
