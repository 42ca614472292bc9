#include "flows/Cleanup.h"

#include "platform/KeyValueStore.h"
#include "platform/UnicodeText.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pressling {

std::expected<void, StoreError> cleanUpArticles() {
    return cleanUpArticles(persistentContainer(), KeyValueStore::defaultStore());
}

std::expected<void, StoreError> cleanUpArticles(ArticleStore& store) {
    return cleanUpArticles(store, KeyValueStore::defaultStore());
}

std::expected<void, StoreError> cleanUpArticles(ArticleStore& store, KeyValueStore& subscriptions) {
    auto sources = store.fetchFeedSources();
    if (!sources) return std::unexpected(std::move(sources.error()));

    // loadWebs reads an unreadable or missing list as an empty one, and an empty list means
    // "delete everything": read it here, where the difference can be told.
    auto stored = subscriptions.dataForKey(kStoredWebsKey);
    if (!stored) {
        return std::unexpected(StoreError{
            StoreError::Kind::fetchFailed,
            fmt::format("cannot read the subscription list, so no article was cleaned up: {}",
                        stored.error().message)});
    }
    const auto unknown = [&](std::string_view why) {
        return std::unexpected(StoreError{
            StoreError::Kind::fetchFailed,
            fmt::format("{}: {}, so the subscriptions are unknown and no article was cleaned up",
                        subscriptions.file().string(), why)});
    };
    if (!*stored) {
        // Articles without a list: the list's file was lost or cut short, not emptied.
        if (sources->empty()) return {};
        return unknown(fmt::format("there is no subscription list under \"{}\"", kStoredWebsKey));
    }
    auto backup = subscriptions.dataForKey(kUnreadableStoredWebsKey);
    if (!backup) return unknown(backup.error().message);
    if (*backup) {
        // The list was unreadable once and has been written over since, by a writer that took
        // it for empty: what it holds now may lack subscriptions that still have articles.
        return unknown(
            fmt::format("the subscription list replaced an unreadable one, kept "
                        "under \"{}\"",
                        kUnreadableStoredWebsKey));
    }
    auto decoded = decodeWebs(**stored);
    if (!decoded) {
        return unknown(
            fmt::format("the subscription list under \"{}\" cannot be decoded", kStoredWebsKey));
    }
    const std::vector<Web>& webs = *decoded;

    std::unordered_set<std::string> subscribed;
    for (const Web& web : webs) subscribed.insert(normalizedNFC(web.url));
    std::set<std::string> unsubscribed;
    bool withoutBlogLink = false;
    for (const auto& source : *sources) {
        if (!source.blogLink) {
            withoutBlogLink = true;
        } else if (!subscribed.contains(normalizedNFC(*source.blogLink))) {
            unsubscribed.insert(*source.blogLink);
        }
    }
    for (const std::string& blogLink : unsubscribed) {
        auto deleted = store.batchDelete(ArticlePredicate::feed(blogLink));
        if (!deleted) return std::unexpected(std::move(deleted.error()));
    }
    if (withoutBlogLink) {
        ArticlePredicate missing;
        missing.blogLinkMissing = true;
        auto deleted = store.batchDelete(missing);
        if (!deleted) return std::unexpected(std::move(deleted.error()));
    }
    return {};
}

}  // namespace pressling
