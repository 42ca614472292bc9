#include "flows/AddFeed.h"

#include "feedparse/RSSData.h"
#include "feedparse/RSSParser.h"
#include "platform/GlobalQueue.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UnicodeText.h"
#include "store/TextLimits.h"
#include "subscriptions/CKFeed.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <algorithm>

namespace pressling {
namespace {

// Equal up to canonical equivalence, case counting.
bool sameTitle(const std::string& a, const std::string& b) { return canonicallyEqual(a, b); }

}  // namespace

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
    auto parser = RSSParser::fromUrl(url);
    if (!parser) return std::unexpected(AddRSSError::fromDownload(std::move(parser.error())));
    RSSParser& feed = **parser;
    feed.checking = true;
    // Checking mode ends in a stop, or in a fault for a page that is not XML at all; valid and
    // title are the verdict either way.
    (void)feed.parse();
    if (!feed.valid()) return std::unexpected(AddRSSError::notFound(url, "not a feed"));
    if (!feed.title()) return std::unexpected(AddRSSError::notFound(url, "the feed has no title"));
    return RSSData{boundedText(*feed.title(), kMaxTitleBytes),
                   boundedText(feed.desc().value_or(""), kMaxDescriptionBytes), url};
}

std::expected<void, AddRSSError> storeFeed(const RSSData& data, KeyValueStore& listStore) {
    CKFeed::save(data);

    bool alreadySubscribed = false;
    auto written = updateStoredWebs(
        [&](const std::vector<Web>& stored) -> std::optional<std::vector<Web>> {
            alreadySubscribed = std::ranges::any_of(
                stored, [&](const Web& web) { return sameTitle(web.title, data.name); });
            if (alreadySubscribed) return std::nullopt;
            std::vector<Web> next = stored;
            next.push_back(Web{data.name, data.url.absoluteString(), std::nullopt});
            return next;
        },
        listStore);
    if (!written) {
        return std::unexpected(
            AddRSSError::notSaved(fmt::format("\"{}\" was not added to the subscription list: {}",
                                              data.name, written.error().message)));
    }
    if (alreadySubscribed) return {};
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
