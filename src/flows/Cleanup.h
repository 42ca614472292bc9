#pragma once

#include "store/StoreError.h"

#include <expected>

namespace pressling {

class ArticleStore;
class KeyValueStore;

// Removes the articles of feeds that are no longer subscribed, run at every window activation.
//
// The rule: an article stays exactly when its blogLink is the URL of a current subscription
// (URLs compared as text, up to canonical equivalence). A subscription's title plays no part,
// so a feed whose document title differs from its subscription's title, and an untitled feed
// whose articles carry web "Web", keep their articles. Articles without blogLink (written by
// others) belong to no subscription and go. An older rule also deleted articles whose web
// named no subscription; restricted, as it must be, to articles whose blogLink is not
// subscribed, it removes nothing the rule above keeps.
//
// Reads the stored (blogLink, web) pairs from an index, then the subscription list, then
// deletes per unsubscribed blogLink, like deleteArticles (straight in the store, not
// announced). The first error stops it and is returned: Kind::fetchFailed when the stored
// pairs or the subscription list cannot be read (a list that is there but cannot be decoded
// counts as unreadable: nothing is deleted on the strength of a list that could not be read;
// a missing list is an empty one and every article goes), Kind::deleteFailed for a delete.
std::expected<void, StoreError> cleanUpArticles();
std::expected<void, StoreError> cleanUpArticles(ArticleStore& store);
std::expected<void, StoreError> cleanUpArticles(ArticleStore& store, KeyValueStore& subscriptions);

}  // namespace pressling
