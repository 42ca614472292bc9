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
#include <set>
#include <unordered_set>

namespace pressling {

std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles) {
    if (articles.empty()) return {};  // not even the store is opened
    return saveArticles(articles, persistentContainer());
}

std::expected<void, StoreError> saveArticles(const std::vector<Article>& articles,
                                             ArticleStore& store) {
    if (articles.empty()) return {};
    const Article& first = articles.front();
    auto fetched = store.fetch(
        ArticlePredicate::group(first.blogLink, boundedText(first.web, kMaxTitleBytes)));
    if (!fetched) return std::unexpected(std::move(fetched.error()));
    std::vector<BlogPost>& group = *fetched;

    std::unordered_set<std::string> titles;
    std::unordered_set<std::string> links;
    for (const BlogPost& post : group) {
        if (post.title) titles.insert(normalizedNFC(*post.title));
        if (post.link) links.insert(post.link->absoluteString());
    }
    for (const Article& article : articles) {
        // Compared as stored: a stored title is the bounded one.
        std::string bounded = boundedText(article.title, kMaxTitleBytes);
        std::string title = normalizedNFC(bounded);
        const std::string& link = article.link.absoluteString();
        if (titles.contains(title) || links.contains(link)) continue;
        group.push_back(store.insert(BlogPost{
            .objectID = 0,
            .blogLink = article.blogLink,
            .desc = boundedText(article.description, kMaxDescriptionBytes),
            .link = link.size() <= kMaxLinkBytes ? std::optional(article.link) : std::nullopt,
            .pubDate = article.pubDate,
            .sectionDate = makeSectionDate(article.pubDate),
            .title = std::move(bounded),
            .web = boundedText(article.web, kMaxTitleBytes),
        }));
        titles.insert(std::move(title));
        links.insert(link);
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
    return store.save();
}

std::string makeSectionDate(Date date) {
    const std::time_t seconds =
        std::time_t(std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count());
    // localtime_r need not look at TZ again; tzset makes it, so the device's zone is the
    // current one.
    ::tzset();
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        // A date beyond what the calendar can convert: every component counts as 0.
        return "0-00-00";
    }
    return fmt::format("{}-{:02d}-{:02d}", std::int64_t{local.tm_year} + 1900, local.tm_mon + 1,
                       local.tm_mday);
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
