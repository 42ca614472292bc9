#include "flows/Cleanup.h"

#include "platform/KeyValueStore.h"
#include "platform/UnicodeText.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"

#include <fmt/format.h>

#include <set>
#include <string>
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

    // loadWebs would read an unreadable list as an empty one, and an empty list means "delete
    // everything": read it here, where the difference can be told.
    auto stored = subscriptions.dataForKey(kStoredWebsKey);
    if (!stored) {
        return std::unexpected(StoreError{
            StoreError::Kind::fetchFailed,
            fmt::format("cannot read the subscription list, so no article was cleaned up: {}",
                        stored.error().message)});
    }
    std::vector<Web> webs;
    if (*stored) {
        auto decoded = decodeWebs(**stored);
        if (!decoded) {
            return std::unexpected(StoreError{
                StoreError::Kind::fetchFailed,
                fmt::format("{}: the subscription list under \"{}\" cannot be decoded, so no "
                            "article was cleaned up",
                            subscriptions.file().string(), kStoredWebsKey)});
        }
        webs = std::move(*decoded);
    }

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
