#pragma once

#include <optional>
#include <string>

namespace pressling {

// Which stored articles a fetch or a batch delete means. The parts that are set are combined
// with AND; a predicate with no part set matches every article. Text comparisons are exact
// (case-sensitive, byte-equal) except `search`. An attribute the article lacks equals nothing
// and contains nothing. A plain value; any thread.
struct ArticlePredicate {
    // A feed group: (blogLink == feedGroup->blogLink) OR (web == feedGroup->web).
    struct FeedGroup {
        std::string blogLink;
        std::string web;
    };
    std::optional<FeedGroup> feedGroup;
    // The feed filter: blogLink == blogLinkEquals.
    std::optional<std::string> blogLinkEquals;
    // The search field: title, desc or web contains this text, ignoring case by Unicode rules
    // ("ÉCOLE" finds "école", "STRASSE" finds "Straße") and looking through canonical
    // equivalence (a decomposed "e" + U+0301 finds a precomposed "é"). Accents are not ignored:
    // "ecole" does not find "école". An empty text is no condition.
    std::optional<std::string> search;
    // blogLink is absent. Every article this system inserts has one; rows written by others
    // may not, and the clean-up removes them with this. Default: false, no condition.
    bool blogLinkMissing = false;

    static ArticlePredicate all() { return {}; }
    static ArticlePredicate group(std::string blogLink, std::string web) {
        ArticlePredicate predicate;
        predicate.feedGroup = FeedGroup{std::move(blogLink), std::move(web)};
        return predicate;
    }
    static ArticlePredicate feed(std::string blogLink) {
        ArticlePredicate predicate;
        predicate.blogLinkEquals = std::move(blogLink);
        return predicate;
    }
    static ArticlePredicate searching(std::string text) {
        ArticlePredicate predicate;
        predicate.search = std::move(text);
        return predicate;
    }
};

}  // namespace pressling
