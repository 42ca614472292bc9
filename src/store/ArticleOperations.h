#pragma once

#include "feedparse/Article.h"
#include "platform/Date.h"
#include "store/ArticleStore.h"
#include "store/BlogPost.h"
#include "store/StoreError.h"

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

class ArticleStore;

// The article store's operations, as the refresh, the add and remove flows and the shell use
// them. Main thread only (but prepareArticles): they work in the store's view context. Each has
// an overload on an explicit store, for tests and tools; the others use persistentContainer().

// How many articles a feed group keeps after saveArticles.
inline constexpr std::size_t kArticlesKeptPerFeed = 20;

// Stores one feed's parsed entries (in document order): skips duplicates (an entry whose title
// equals, up to canonical equivalence, or whose link equals (same URL text) that of an article
// of the feed group — blogLink equal to the first entry's blogLink, or web equal to its web —
// including entries inserted before it in this call; a stored article without link is matched
// by title only, one without title by link only), then keeps only the kArticlesKeptPerFeed
// newest of the group (by pubDate; one without pubDate counts as now; equal dates keep the
// group's order, the newest-first fetch then the new entries), then saves. Texts are stored
// within the caps of TextLimits.h: title, web and description cut at a character boundary
// (duplicates are found on the cut title), a link longer than its cap not stored at all.
//
// An empty list does nothing at all: no fetch, no save. A failed fetch of the group
// (Kind::fetchFailed) is returned and nothing is inserted. A failed save (Kind::saveFailed)
// is returned and leaves the inserts and deletions pending for the next save. A list where
// every entry is a duplicate and the group is within its cap saves nothing and announces
// nothing.
std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles);
std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles,
                                             ArticleStore& store);

// One feed's entries, in document order, made ready for saveArticles: the posts as they would
// be stored (texts within their caps, section dates read), with the titles the duplicate check
// compares and the texts searches compare. Preparing is most of a save's work and needs no
// store, so the refresh does it on its parsing threads. A plain value.
struct PreparedArticle {
    BlogPost post;              // objectID 0
    std::string comparedTitle;  // the stored title in NFC
    std::string comparedLink;   // the entry's link, even one too long to be stored
    // For the kArticlesKeptPerFeed newest entries of the document, those the cap is likely to
    // keep; the others are folded by the save, should they be kept.
    std::optional<SearchTexts> folded;
};
using PreparedArticles = std::vector<PreparedArticle>;

// Any thread.
PreparedArticles prepareArticles(const std::vector<Article>& articles);

// saveArticles of the entries prepared was made from, the same in every respect.
std::expected<void, StoreError> saveArticles(const PreparedArticles& prepared, ArticleStore& store);
std::expected<void, StoreError> saveArticles(const PreparedArticles& prepared);

// saveArticles short of its save: the feed's inserts and deletions are left pending in store,
// for one save to write several feeds' entries. A save's cost is mostly the index pages it
// rewrites, about as many for twenty feeds as for one, so the refresh stores the feeds that
// are ready together. A failed fetch of the group is returned with nothing staged.
std::expected<void, StoreError> stageArticles(const PreparedArticles& prepared,
                                              ArticleStore& store);

// "2021-03-07": the day of date in the device's current calendar and time zone, read afresh
// at every call (a change of TZ is followed); the year without leading zeros, month and day
// with two digits. Any thread.
std::string makeSectionDate(Date date);

// Deletes, straight in the store, every article whose blogLink or web equals text: removing a
// feed by its URL also removes another feed's articles whose web is that same text. Objects
// the context already holds are not refreshed, and no change is announced. Fails with
// Kind::deleteFailed, and then nothing was deleted.
std::expected<void, StoreError> deleteArticles(std::string_view text);
std::expected<void, StoreError> deleteArticles(std::string_view text, ArticleStore& store);

}  // namespace pressling
