#pragma once

#include "store/StoreError.h"

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace pressling {

class ArticleStore;
class KeyValueStore;

// Posted on NotificationCenter::defaultCenter(), with no object, after removeWeb removed a
// subscription.
inline constexpr std::string_view kWillRemoveWebNotification = "willRemoveWeb";

// Why removeWeb did nothing. A plain value; any thread.
struct RemoveWebError {
    enum class Kind {
        indexOutOfRange,     // no subscription at that position of loadWebs()
        articlesNotDeleted,  // the article store refused to delete the feed's articles
    };
    Kind kind;
    // For people: the position and the list's length, or the store's own message.
    std::string message;
    // The store's error; set exactly when kind is articlesNotDeleted.
    std::optional<StoreError> storeError;

    bool isIndexOutOfRange() const { return kind == Kind::indexOutOfRange; }
    bool isArticlesNotDeleted() const { return kind == Kind::articlesNotDeleted; }
};

// Unsubscribes from the feed at index of the list as loadWebs() orders it (by title), which is
// how the screens number their rows. Main thread only: it uses the article store.
//
// First deletes every stored article whose feed address or source name equals the
// subscription's address (deleteArticles); then removes that subscription from the list as
// stored at that moment, in one atomic update, found by its exact address and title, so that
// changes another writer made meanwhile are kept; then posts kWillRemoveWebNotification on the
// main thread. Removing the only subscription leaves an empty list ("[]") stored. When the
// subscription is already gone from the stored list (another writer removed it), or the list
// cannot be written (logged), the notification is still posted: the articles are gone either
// way, and the screens rebuild from what is stored.
//
// Fails with indexOutOfRange when index is not below the list's length, and with
// articlesNotDeleted when the store fails; in both cases the list is untouched and nothing is
// posted.
std::expected<void, RemoveWebError> removeWeb(std::size_t index);
// As above, on explicit stores (for tests).
std::expected<void, RemoveWebError> removeWeb(std::size_t index, KeyValueStore& listStore,
                                              ArticleStore& articleStore);

}  // namespace pressling
