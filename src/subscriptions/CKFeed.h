#pragma once

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "feedparse/RSSData.h"
#include "subscriptions/CatalogDatabase.h"

namespace pressling {

// The one access point to the shared feed catalog (catalogDatabase()): a "Feed" record per feed
// URL, holding "name", "about" and "url". Type-level operations only.
//
// save and search may be called from any thread. They return at once: the catalog work runs
// on the global queue, and the completion is always called on the main queue, with the result
// or the error, exactly once. A main queue must be installed.
class CKFeed {
public:
    CKFeed() = delete;

    using SaveCompletion = std::function<void(std::expected<CatalogRecord, CatalogError>)>;
    using SearchCompletion = std::function<void(std::expected<std::vector<RSSData>, CatalogError>)>;

    // The record that stands for data: recordName and url are data.url's absolute string, name
    // is data.name and about is data.description.
    static CatalogRecord makeRecord(const RSSData& data);

    // The feed a record describes, or none when the record lacks a field (or holds one as
    // something other than text) or its url does not parse as a URL. The record's own name
    // does not matter: a record is read by its fields.
    static std::optional<RSSData> makeRSSData(const CatalogRecord& record);

    // Adds data's feed to the catalog, or, when its URL is already there, gives that record
    // data's name and description (the url stays; no second record). completion, if given,
    // receives the record as saved, or the error (see CatalogDatabase::save). Without one, a
    // failure is logged: saving to the catalog is a courtesy to other users, and its failure
    // is no reason to bother this one.
    static void save(const RSSData& data, SaveCompletion completion = {});

    // The feeds whose name, description or URL contains text, ignoring case by Unicode rules,
    // sorted by name, at most CatalogDatabase::kMaxSearchResults of them. text is used as
    // given (not trimmed). Records that makeRSSData cannot read are left out, so a page of
    // results may hold fewer than the maximum even when more feeds match. No match is an
    // empty list, not an error.
    static void search(std::string text, SearchCompletion completion);
};

}  // namespace pressling
