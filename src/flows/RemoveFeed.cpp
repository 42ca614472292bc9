#include "flows/RemoveFeed.h"

#include "flows/FeedValidators.h"

#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "store/ArticleOperations.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>

namespace pressling {
namespace {

bool sameEntry(const Web& a, const Web& b) { return a.url == b.url && a.title == b.title; }

using DeleteArticles = std::function<std::expected<void, StoreError>(std::string_view)>;

std::expected<void, RemoveWebError> removeWeb(std::size_t index, KeyValueStore& listStore,
                                              const DeleteArticles& deleteFeedArticles) {
    const std::vector<Web> webs = loadWebs(listStore);
    if (index >= webs.size()) {
        return std::unexpected(RemoveWebError{
            RemoveWebError::Kind::indexOutOfRange,
            fmt::format("No subscription at position {}: the list holds {}", index, webs.size()),
            std::nullopt});
    }
    const Web removed = webs[index];
    // Entries that agree in address and title keep their stored order under loadWebs' stable
    // sort, so the n-th of them here is the n-th of them as stored.
    const auto occurrence = std::count_if(webs.begin(), webs.begin() + std::ptrdiff_t(index),
                                          [&](const Web& web) { return sameEntry(web, removed); });

    if (auto deleted = deleteFeedArticles(removed.url); !deleted) {
        std::string message = fmt::format("The articles of \"{}\" were not deleted: {}",
                                          removed.title, deleted.error().message);
        return std::unexpected(RemoveWebError{RemoveWebError::Kind::articlesNotDeleted,
                                              std::move(message), std::move(deleted.error())});
    }

    auto written = updateStoredWebs(
        [&](const std::vector<Web>& stored) -> std::optional<std::vector<Web>> {
            auto remaining = occurrence;
            const auto found = std::find_if(stored.begin(), stored.end(), [&](const Web& web) {
                return sameEntry(web, removed) && remaining-- == 0;
            });
            if (found == stored.end()) return std::nullopt;
            std::vector<Web> next = stored;
            next.erase(next.begin() + (found - stored.begin()));
            return next;
        },
        listStore);
    if (!written) {
        log::error(fmt::format("\"{}\" was not removed from the subscription list: {}",
                               removed.title, written.error().message));
    }
    forgetFeedValidators(removed.url, listStore);
    NotificationCenter::defaultCenter().post(std::string(kWillRemoveWebNotification));
    return {};
}

}  // namespace

std::expected<void, RemoveWebError> removeWeb(std::size_t index) {
    return removeWeb(index, KeyValueStore::defaultStore(),
                     [](std::string_view url) { return deleteArticles(url); });
}

std::expected<void, RemoveWebError> removeWeb(std::size_t index, KeyValueStore& listStore,
                                              ArticleStore& articleStore) {
    return removeWeb(index, listStore, [&articleStore](std::string_view url) {
        return deleteArticles(url, articleStore);
    });
}

}  // namespace pressling
