#include "flows/AddFeed.h"

#include "feedparse/FeedCheck.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "subscriptions/AppendWeb.h"
#include "subscriptions/CKFeed.h"

#include <fmt/format.h>

namespace pressling {

AddRSSError AddRSSError::notFound(const Url& url, std::string_view why) {
    return AddRSSError{RSSError::notFound, fmt::format("{}: {}", url.absoluteString(), why)};
}

AddRSSError AddRSSError::fromDownload(DownloadError error) {
    std::string message = error.message;
    return AddRSSError{std::move(error), std::move(message)};
}

AddRSSError AddRSSError::notSaved(std::string_view why) {
    return AddRSSError{RSSError::notSaved, std::string(why)};
}

std::expected<RSSData, AddRSSError> checkFeed(const Url& url) {
    auto checked = checkFeedAt(url);
    if (checked) return std::move(*checked);
    if (checked.error().download) {
        return std::unexpected(AddRSSError::fromDownload(std::move(*checked.error().download)));
    }
    return std::unexpected(AddRSSError::notFound(url, checked.error().why));
}

std::expected<void, AddRSSError> storeFeed(const RSSData& data, KeyValueStore& listStore) {
    CKFeed::save(data);

    auto appended = appendWeb(Web{data.name, data.url.absoluteString(), std::nullopt}, listStore);
    if (!appended) {
        return std::unexpected(
            AddRSSError::notSaved(fmt::format("\"{}\" was not added to the subscription list: {}",
                                              data.name, appended.error().message)));
    }
    if (*appended == AppendOutcome::alreadySubscribed) return {};
    NotificationCenter::defaultCenter().post(std::string(kWillUpdateWebNotification));
    return {};
}

std::expected<void, AddRSSError> addRSS(const Url& url) {
    return addRSS(url, KeyValueStore::defaultStore());
}

std::expected<void, AddRSSError> addRSS(const Url& url, KeyValueStore& listStore) {
    auto feed = checkFeed(url);
    if (!feed) return std::unexpected(std::move(feed.error()));
    return storeFeed(*feed, listStore);
}

void subscribe(const Url& url, const PresenterSupplier& presenter, std::function<void()> done) {
    subscribe(url, presenter, KeyValueStore::defaultStore(), std::move(done));
}

void subscribe(const Url& url, const PresenterSupplier& presenter, KeyValueStore& listStore,
               std::function<void()> done) {
    std::shared_ptr<SubscribePresenter> screen = presenter ? presenter() : nullptr;
    if (!screen) return;
    screen->checkStarted();
    // The download and the parse are what take time; the list, the notification and the screen
    // stay on the main thread, as every other writer of them expects.
    globalAsync([url, screen, &listStore, done = std::move(done)]() mutable {
        auto feed = checkFeed(url);
        // The presenter is the main thread's: this thread lets go of it before the hand-over.
        mainQueue().async([feed = std::move(feed), screen = std::move(screen), &listStore,
                           done = std::move(done)] {
            const auto added =
                feed ? storeFeed(*feed, listStore)
                     : std::expected<void, AddRSSError>(std::unexpected(feed.error()));
            screen->checkEnded();
            if (added) {
                screen->showTransientMessage(kLinkAddedText);
            } else {
                log::error(fmt::format("Cannot subscribe: {}", added.error().message));
                const bool notSaved = added.error().isNotSaved();
                screen->presentAlert(
                    Alert{
                        std::string(notSaved ? kListNotSavedTitle : kRSSNotFoundTitle),
                        std::string(notSaved ? kListNotSavedMessage : kRSSNotFoundMessage),
                        {AlertAction{std::string(kOkeyButton), AlertAction::Style::defaultStyle}}},
                    added.error().message);
            }
            if (done) done();
        });
    });
}

}  // namespace pressling
