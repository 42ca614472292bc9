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
// Deletes only on the strength of a list it actually read. Reads the stored (blogLink, web)
// pairs from an index, then the subscription list, then deletes per unsubscribed blogLink, like
// deleteArticles (straight in the store, not announced). The first error stops it and is
// returned:
//  - Kind::fetchFailed, with nothing deleted, when the stored pairs or the list cannot be read,
//    and when the subscriptions are unknown: the list cannot be decoded; it is missing (or
//    NULL) while the store holds articles (a cut-short or recreated list file, not an emptied
//    list); or it replaced an unreadable list (a backup under kUnreadableStoredWebsKey exists:
//    the writer took the unreadable list for an empty one, and a backup stays until someone
//    restores or removes it). The message says nothing was cleaned up.
//  - Kind::deleteFailed for a delete; the feeds deleted before it stay deleted.
// A stored empty list ("[]") is a list: every article goes. A missing list with no article
// stored is no error: there is nothing to delete.
std::expected<void, StoreError> cleanUpArticles();
std::expected<void, StoreError> cleanUpArticles(ArticleStore& store);
std::expected<void, StoreError> cleanUpArticles(ArticleStore& store, KeyValueStore& subscriptions);

}  // namespace pressling
