#pragma once

#include "platform/KeyValueStore.h"
#include "subscriptions/Web.h"

#include <expected>

namespace pressling {

enum class AppendOutcome {
    appended,           // web is now the last entry of the stored list
    alreadySubscribed,  // an entry has web's title; nothing was written
};

// Subscribes to web unless a stored entry has the same title (the same text up to canonical
// equivalence, case counting; addresses are not compared): then web goes after the entries in
// their stored order, which is kept. The title check and the write are one updateStoredWebs
// transaction, so a feed another process or thread adds meanwhile is neither lost nor added
// twice. An empty or undecodable stored value counts as the empty list (see StoredWebs.h for
// the backup of the latter). Any thread.
//
// Fails with updateStoredWebs's errors (the store cannot be read or written, or web cannot be
// encoded); nothing was written then. Nothing is logged or posted.
std::expected<AppendOutcome, KeyValueStoreError> appendWeb(const Web& web, KeyValueStore& store);

}  // namespace pressling
