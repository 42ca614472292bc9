#pragma once

#include "platform/KeyValueStore.h"
#include "subscriptions/Web.h"

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// The subscription list, stored under kStoredWebsKey of the per-user key-value store and
// shared by pressling, feedgrab and pressling-cli. Any thread; each call is one whole read or
// write of the store (see KeyValueStore for how calls from threads and processes take turns).
// Every function has an overload on an explicit store, for tests; the others use
// KeyValueStore::defaultStore().
//
// The stored form, byte for byte: a UTF-8 JSON array, compact (no white space), one object per
// Web with the keys "title", "url" and then "error" (true or false) only when set, every "/"
// written "\/". Two entries (one line when stored):
//   [{"title":"A","url":"https:\/\/a.example\/feed"},
//    {"title":"B","url":"http:\/\/b\/","error":true}]
// Reading accepts "/" and "\/" alike, ignores keys it does not know and reads "error": null as
// absent. A missing "title" or "url", or any other JSON type than these (the top level not an
// array, an element not an object, title or url not a string, error not a bool or null), makes
// the whole value undecodable.
//
// An undecodable value reads as the empty list, as it always has. So that the next write does
// not destroy the user's list, every write that replaces an undecodable value first copies its
// bytes, in the same transaction, to kUnreadableStoredWebsKey and warns on the console. A
// backup already there is never overwritten: when it holds other bytes, the copy goes to
// "storedRss.unreadable.2", ".3", ... (the first free one); when one of them already holds the
// same bytes, no further copy is made.

inline constexpr std::string_view kStoredWebsKey = "storedRss";
inline constexpr std::string_view kUnreadableStoredWebsKey = "storedRss.unreadable";

// The list sorted by title (sortByTitle: stable, so equal titles keep their stored order).
// No entry, an undecodable value or a store that cannot be read gives the empty list; the last
// two also warn on the console.
std::vector<Web> loadWebs();
std::vector<Web> loadWebs(KeyValueStore& store);

// As loadWebs, but a list that cannot be had is an error, not an empty list: for those who
// would otherwise pass an empty list on as the user's (an export). The message names the
// store's file and the reason. No entry is the empty list.
std::expected<std::vector<Web>, std::string> readWebs();
std::expected<std::vector<Web>, std::string> readWebs(KeyValueStore& store);

// The list in its stored order, for the refresh and the share helper, which write it back.
// Empty in the same cases as loadWebs.
std::vector<Web> loadStoredWebs();
std::vector<Web> loadStoredWebs(KeyValueStore& store);

// Replaces the stored list with webs, in the order given, then synchronises the store. A list
// that cannot be encoded (a string that is not UTF-8) writes nothing; that and a store that
// cannot be written are reported on the console only: the list stays as it was.
void saveWebs(const std::vector<Web>& webs);
void saveWebs(const std::vector<Web>& webs, KeyValueStore& store);

// Atomic read-modify-write of the list. change receives the stored list in its stored order
// (empty when absent or undecodable) and returns the new list, or nullopt for "no change".
// Runs as one KeyValueStore transaction, so a change made by another thread or process
// between the read and the write cannot happen, and none is lost. change must not call the
// store (see KeyValueStore::update).
//
// Returns true when the list was written, false when change asked for none. Fails with the
// store's errors, or with Kind::aborted when the new list cannot be encoded; nothing is
// written then. A failure is not logged: the caller reports it.
using WebsChange = std::function<std::optional<std::vector<Web>>(const std::vector<Web>& stored)>;
std::expected<bool, KeyValueStoreError> updateStoredWebs(const WebsChange& change);
std::expected<bool, KeyValueStoreError> updateStoredWebs(const WebsChange& change,
                                                         KeyValueStore& store);

// The stored form of webs, as described above; nullopt when a string is not valid UTF-8.
std::optional<std::string> encodeWebs(const std::vector<Web>& webs);
// The list in bytes, in stored order; nullopt when bytes are undecodable.
std::optional<std::vector<Web>> decodeWebs(std::string_view bytes);

}  // namespace pressling
