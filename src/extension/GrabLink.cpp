#include "extension/GrabLink.h"

#include "feedparse/FeedCheck.h"
#include "platform/Log.h"
#include "subscriptions/AppendWeb.h"
#include "subscriptions/CKFeed.h"

#include <fmt/format.h>

namespace pressling {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

GrabOutcome grabLink(std::string_view link, KeyValueStore& listStore,
                     const DownloadOptions& options) {
    const auto url = Url::parse(trimmed(link));
    if (!url || url->scheme().empty()) {
        log::error(fmt::format("Not a link: {}", link));
        return {kErrorTitle, kLinkNotValidInfo, {}};
    }
    auto checked = checkFeedAt(*url, options);
    if (!checked) {
        log::error(fmt::format("{}: {}", url->absoluteString(), checked.error().why));
        if (!checked.error().isNotFound()) {
            return {kErrorTitle, kDownloadFailedInfo, std::move(checked.error().why)};
        }
        return {kNotAFeedTitle, kNotAFeedInfo, {}};
    }
    auto appended = appendWeb(Web{checked->name, url->absoluteString(), std::nullopt}, listStore);
    if (!appended) {
        log::error(fmt::format("\"{}\" was not added to the subscription list: {}", checked->name,
                               appended.error().message));
        return {kErrorTitle, kListNotSavedInfo, std::move(appended.error().message)};
    }
    CKFeed::save(*checked);
    return {kLinkAddedTitle, kLinkAddedInfo, {}};
}

}  // namespace pressling
