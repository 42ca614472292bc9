#pragma once

// Throwaway stores and lists, dated articles and feed documents, faults injected via the file.

#include "feedparse/Article.h"
#include "platform/KeyValueStore.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Sqlite.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <expected>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace pressling::test {

inline constexpr const char* kFeedA = "https://a.example/feed";
inline constexpr const char* kFeedB = "https://b.example/feed";

// 2021-03-<dayOfMarch> 00:00 UTC plus offset (noon by default): the tests' calendar.
inline Date day(int dayOfMarch, std::chrono::minutes offset = std::chrono::hours(12)) {
    using namespace std::chrono;
    return time_point_cast<milliseconds>(sys_days(year(2021) / March / dayOfMarch) + offset);
}

// An entry of feed blogLink titled web, as the parser would hand it over.
inline Article article(std::string title, std::string link, Date pubDate,
                       std::string blogLink = kFeedA, std::string web = "A") {
    return Article(title, "<p>About " + title + "</p>", std::move(web), std::move(blogLink),
                   *Url::parse(link), pubDate);
}

// Entries "<prefix>1" ... "<prefix>count" of one feed, entry i published on March i.
inline std::vector<Article> feedEntries(int count, const std::string& prefix = "Entry ",
                                        const std::string& blogLink = kFeedA,
                                        const std::string& web = "A") {
    std::vector<Article> entries;
    for (int i = 1; i <= count; ++i) {
        const std::string title = prefix + std::to_string(i);
        std::string slug = title;
        std::ranges::replace(slug, ' ', '-');
        entries.push_back(article(title, blogLink + "/" + slug, day(i), blogLink, web));
    }
    return entries;
}

// An RSS 2.0 document titled title with entries "<title> 1" ... "<title> n", newest first.
inline std::string rssDocument(std::string_view title, int entries) {
    std::string items;
    for (int i = 1; i <= entries; ++i) {
        items += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link><description>"
            "Entry {1}</description><pubDate>Tue, 03 Jun 2003 09:{2:02}:21 GMT</pubDate></item>",
            title, i, 59 - i);
    }
    return fmt::format(R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>)"
                       "<title>{}</title><description>About it</description>{}</channel></rss>",
                       title, items);
}

// A stored post of blogLink, with a link unique to its date.
inline BlogPost post(std::string title, Date pubDate, std::string blogLink = kFeedA) {
    const auto link = "https://a.example/" + std::to_string(pubDate.time_since_epoch().count());
    return BlogPost(0, blogLink, "<p>" + title + "</p>", Url::parse(link), pubDate,
                    makeSectionDate(pubDate), title, "A");
}

// Fails the current test unless result is an error of kind whose message holds every fragment.
template <class T>
void expectStoreError(const std::expected<T, StoreError>& result, StoreError::Kind kind,
                      std::initializer_list<std::string_view> fragments = {}) {
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, kind);
    for (std::string_view fragment : fragments)
        EXPECT_NE(result.error().message.find(fragment), std::string::npos)
            << result.error().message;
}

inline void insertAndSave(ArticleStore& store, const std::vector<BlogPost>& posts) {
    for (const auto& post : posts) store.insert(post);
    auto saved = store.save();
    ASSERT_TRUE(saved.has_value()) << saved.error().message;
}

inline std::vector<std::string> titles(const std::vector<BlogPost>& posts) {
    std::vector<std::string> result;
    for (const auto& post : posts) result.push_back(post.title.value_or("<none>"));
    return result;
}

// A store in a fresh temporary folder, removed with the folder.
class TemporaryStore {
public:
    TemporaryStore() { reopen(); }
    ArticleStore& operator*() { return *store_; }
    ArticleStore* operator->() { return store_.get(); }
    std::filesystem::path file() const { return folder_.path() / kArticleStoreFileName; }
    const std::filesystem::path& folder() const { return folder_.path(); }

    // Closes the store (pending changes are lost) and opens the file again.
    void reopen() {
        store_.reset();
        store_ = std::move(ArticleStore::open(file()).value());
    }

private:
    TemporaryDirectory folder_;
    std::unique_ptr<ArticleStore> store_;
};

// Runs sql on its own connection to file, as another process would: how faults reach the store.
inline void alterStoreFile(const std::filesystem::path& file, std::string_view sql) {
    auto db = sqlite::Database::open(file);
    ASSERT_TRUE(db.has_value()) << db.error().message;
    auto done = db->execute(sql);
    ASSERT_TRUE(done.has_value()) << done.error().message;
}

inline constexpr std::string_view kFailInserts =
    "CREATE TRIGGER injectedFault BEFORE INSERT ON BlogPost "
    "BEGIN SELECT RAISE(ABORT, 'injected write fault'); END;";
inline constexpr std::string_view kFailDeletes =
    "CREATE TRIGGER injectedFault BEFORE DELETE ON BlogPost "
    "BEGIN SELECT RAISE(ABORT, 'injected write fault'); END;";
inline constexpr std::string_view kHealFault = "DROP TRIGGER injectedFault;";

// Every row of the store, newest first, as the store's fetch sees it.
inline std::vector<BlogPost> fetchAll(ArticleStore& store,
                                      const ArticlePredicate& predicate = ArticlePredicate::all()) {
    auto posts = store.fetch(predicate);
    EXPECT_TRUE(posts.has_value()) << posts.error().message;
    return posts ? *posts : std::vector<BlogPost>{};
}

// Hears the default centre's objects-did-change notifications for one store.
struct ChangeRecorder {
    explicit ChangeRecorder(const ArticleStore& store)
        : token(NotificationCenter::defaultCenter().addObserver(
              std::string(kObjectsDidChangeNotification), std::nullopt,
              NotificationCenter::Delivery::postingThread, [this, &store](const Notification& n) {
                  const auto* change = n.objectAs<ObjectsDidChange>();
                  if (change && change->store == &store) changes.push_back(*change);
              })) {}

    std::vector<ObjectsDidChange> changes;
    NotificationCenter::Observer token;
};

// Counts the default centre's notifications called name, any object, as they are posted.
struct NotificationCount {
    explicit NotificationCount(std::string_view name)
        : token(NotificationCenter::defaultCenter().addObserver(
              std::string(name), std::nullopt, NotificationCenter::Delivery::postingThread,
              [this](const Notification&) { ++count; })) {}

    int count = 0;
    NotificationCenter::Observer token;
};

// What the flows work on: an article store, a subscription list beside it, a main queue.
class FlowTest : public testing::Test {
protected:
    FlowTest() { installMainQueue(loop); }

    void storeList(const std::vector<Web>& webs) { saveWebs(webs, kv); }
    std::vector<Web> storedList() { return loadStoredWebs(kv); }
    std::optional<std::string> storedBytes() { return kv.dataForKey(kStoredWebsKey).value(); }
    std::vector<std::string> storedTitles(const std::string& feedUrl) {
        auto found = titles(fetchAll(*store, ArticlePredicate::feed(feedUrl)));
        std::sort(found.begin(), found.end());
        return found;
    }

    TemporaryStore store;
    KeyValueStore kv{store.folder() / "kvstore.sqlite"};
    RunLoop loop;
};

}  // namespace pressling::test
