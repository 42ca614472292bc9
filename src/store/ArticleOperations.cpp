#include "store/ArticleOperations.h"

#include "platform/UnicodeText.h"

#include "feedparse/TextLimits.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"

#include <fmt/format.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <numeric>
#include <set>
#include <unordered_set>

namespace pressling {

namespace {

// makeSectionDate without reading the time zone again: the caller has called tzset.
std::string sectionDateInCurrentZone(Date date) {
    const std::time_t seconds =
        std::time_t(std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count());
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        // A date beyond what the calendar can convert: every component counts as 0.
        return "0-00-00";
    }
    return fmt::format("{}-{:02d}-{:02d}", std::int64_t{local.tm_year} + 1900, local.tm_mon + 1,
                       local.tm_mday);
}

}  // namespace

PreparedArticles prepareArticles(const std::vector<Article>& articles) {
    // localtime_r need not look at TZ again; tzset makes it, so the device's zone is the
    // current one.
    ::tzset();
    std::vector<std::size_t> newestFirst(articles.size());
    std::iota(newestFirst.begin(), newestFirst.end(), std::size_t{0});
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](std::size_t a, std::size_t b) {
        return articles[a].pubDate > articles[b].pubDate;
    });
    std::vector<bool> likelyKept(articles.size(), false);
    for (std::size_t i = 0; i < std::min(kArticlesKeptPerFeed, articles.size()); ++i) {
        likelyKept[newestFirst[i]] = true;
    }

    PreparedArticles prepared;
    prepared.reserve(articles.size());
    for (const Article& article : articles) {
        const std::string& link = article.link.absoluteString();
        BlogPost post{
            .objectID = 0,
            .blogLink = article.blogLink,
            .desc = boundedText(article.description, kMaxDescriptionBytes),
            .link = link.size() <= kMaxLinkBytes ? std::optional(article.link) : std::nullopt,
            .pubDate = article.pubDate,
            .sectionDate = sectionDateInCurrentZone(article.pubDate),
            .title = boundedText(article.title, kMaxTitleBytes),
            .web = boundedText(article.web, kMaxTitleBytes),
        };
        // Compared as stored: a stored title is the bounded one.
        std::string comparedTitle = normalizedNFC(*post.title);
        std::optional<SearchTexts> folded;
        if (likelyKept[prepared.size()]) folded = SearchTexts::of(post);
        prepared.push_back({std::move(post), std::move(comparedTitle), link, std::move(folded)});
    }
    return prepared;
}

std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles) {
    if (articles.empty()) return {};  // not even the store is opened
    return saveArticles(prepareArticles(articles), persistentContainer());
}

std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles,
                                             ArticleStore& store) {
    return saveArticles(prepareArticles(articles), store);
}

std::expected<void, StoreError> saveArticles(const PreparedArticles& prepared) {
    if (prepared.empty()) return {};  // not even the store is opened
    return saveArticles(prepared, persistentContainer());
}

std::expected<void, StoreError> saveArticles(const PreparedArticles& prepared,
                                             ArticleStore& store) {
    if (prepared.empty()) return {};
    if (auto staged = stageArticles(prepared, store); !staged) return staged;
    return store.save();
}

std::expected<void, StoreError> stageArticles(const PreparedArticles& prepared,
                                              ArticleStore& store) {
    if (prepared.empty()) return {};
    const BlogPost& first = prepared.front().post;
    auto fetched = store.fetch(ArticlePredicate::group(*first.blogLink, *first.web));
    if (!fetched) return std::unexpected(std::move(fetched.error()));
    std::vector<BlogPost>& group = *fetched;

    std::unordered_set<std::string> titles;
    std::unordered_set<std::string> links;
    for (const BlogPost& post : group) {
        if (post.title) titles.insert(normalizedNFC(*post.title));
        if (post.link) links.insert(post.link->absoluteString());
    }
    for (const PreparedArticle& article : prepared) {
        if (titles.contains(article.comparedTitle) || links.contains(article.comparedLink)) {
            continue;
        }
        group.push_back(article.folded ? store.insert(article.post, *article.folded)
                                       : store.insert(article.post));
        titles.insert(article.comparedTitle);
        links.insert(article.comparedLink);
    }

    if (group.size() > kArticlesKeptPerFeed) {
        const Date now = std::chrono::time_point_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now());
        std::stable_sort(group.begin(), group.end(), [now](const BlogPost& a, const BlogPost& b) {
            return a.pubDate.value_or(now) > b.pubDate.value_or(now);
        });
        // A post inserted above and cut here is dropped from the context and never lands.
        for (std::size_t i = kArticlesKeptPerFeed; i < group.size(); ++i) {
            store.deleteObject(group[i]);
        }
    }
    return {};
}

std::string makeSectionDate(Date date) {
    ::tzset();
    return sectionDateInCurrentZone(date);
}

std::expected<void, StoreError> deleteArticles(std::string_view text) {
    return deleteArticles(text, persistentContainer());
}

std::expected<void, StoreError> deleteArticles(std::string_view text, ArticleStore& store) {
    auto deleted = store.batchDelete(ArticlePredicate::group(std::string(text), std::string(text)));
    if (!deleted) return std::unexpected(std::move(deleted.error()));
    return {};
}

}  // namespace pressling
