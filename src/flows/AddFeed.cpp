#include "flows/AddFeed.h"

#include "feedparse/FeedCheck.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
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

std::expected<void, AddRSSError> addRSS(const Url& url) {
    return addRSS(url, KeyValueStore::defaultStore());
}

std::expected<void, AddRSSError> addRSS(const Url& url, KeyValueStore& listStore) {
    auto checked = checkFeed(url);
    if (!checked) {
        if (checked.error().download) {
            return std::unexpected(AddRSSError::fromDownload(std::move(*checked.error().download)));
        }
        return std::unexpected(AddRSSError::notFound(url, checked.error().why));
    }
    const RSSData& data = *checked;
    CKFeed::save(data);

    auto appended = appendWeb(Web{data.name, url.absoluteString(), std::nullopt}, listStore);
    if (!appended) {
        return std::unexpected(
            AddRSSError::notSaved(fmt::format("\"{}\" was not added to the subscription list: {}",
                                              data.name, appended.error().message)));
    }
    if (*appended == AppendOutcome::alreadySubscribed) return {};
    NotificationCenter::defaultCenter().post(std::string(kWillUpdateWebNotification));
    return {};
}

void subscribe(const Url& url, const PresenterSupplier& presenter) {
    subscribe(url, presenter, KeyValueStore::defaultStore());
}

void subscribe(const Url& url, const PresenterSupplier& presenter, KeyValueStore& listStore) {
    SubscribePresenter* screen = presenter ? presenter() : nullptr;
    if (!screen) return;
    auto added = addRSS(url, listStore);
    if (added) {
        screen->showTransientMessage(kLinkAddedText);
        return;
    }
    log::error(fmt::format("Cannot subscribe: {}", added.error().message));
    const bool notSaved = added.error().isNotSaved();
    screen->presentAlert(
        Alert{std::string(notSaved ? kListNotSavedTitle : kRSSNotFoundTitle),
              std::string(notSaved ? kListNotSavedMessage : kRSSNotFoundMessage),
              {AlertAction{std::string(kOkeyButton), AlertAction::Style::defaultStyle}}});
}

}  // namespace pressling
