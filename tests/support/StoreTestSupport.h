#pragma once

// Helpers shared by the article store's suites: throwaway stores, articles with chosen dates,
// faults injected through the store's own file, and a time zone set for one test.

#include "feedparse/Article.h"
#include "platform/NotificationCenter.h"
#include "platform/Sqlite.h"
#include "store/ArticleStore.h"
#include "store/PersistentContainer.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pressling::test {

// 2021-03-07 12:00 UTC plus the given offset: the tests' calendar.
inline Date day(int dayOfMarch, std::chrono::minutes offset = std::chrono::hours(12)) {
    using namespace std::chrono;
    return time_point_cast<milliseconds>(sys_days(year(2021) / March / dayOfMarch) + offset);
}

// An entry of the feed "https://a.example/feed" titled "A", as the parser would hand it over.
inline Article article(std::string title, std::string link, Date pubDate,
                       std::string blogLink = "https://a.example/feed", std::string web = "A") {
    return Article{
        .title = title,
        .description = "<p>About " + title + "</p>",
        .web = std::move(web),
        .blogLink = std::move(blogLink),
        .link = *Url::parse(link),
        .pubDate = pubDate,
    };
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
        auto opened = ArticleStore::open(file());
        if (!opened) throw std::runtime_error(opened.error().message);
        store_ = std::move(*opened);
    }

private:
    TemporaryDirectory folder_;
    std::unique_ptr<ArticleStore> store_;
};

// Runs sql on its own connection to file: another process's view of the store, through which
// faults reach it (a trigger that fails writes, a table taken away) without touching its
// insides.
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
inline constexpr std::string_view kHideArticles = "ALTER TABLE BlogPost RENAME TO Hidden;";
inline constexpr std::string_view kShowArticles = "ALTER TABLE Hidden RENAME TO BlogPost;";

// Every row of the store, newest first, as the store's fetch sees it: the reference the tests
// compare other views with.
inline std::vector<BlogPost> fetchAll(ArticleStore& store,
                                      const ArticlePredicate& predicate = ArticlePredicate::all()) {
    auto posts = store.fetch(predicate);
    EXPECT_TRUE(posts.has_value()) << posts.error().message;
    return posts ? *posts : std::vector<BlogPost>{};
}

// Hears the default centre's objects-did-change notifications for one store.
class ChangeRecorder {
public:
    explicit ChangeRecorder(const ArticleStore& store)
        : token_(NotificationCenter::defaultCenter().addObserver(
              std::string(kObjectsDidChangeNotification), std::nullopt,
              NotificationCenter::Delivery::postingThread,
              [this, &store](const Notification& notification) {
                  const auto* change = notification.objectAs<ObjectsDidChange>();
                  ASSERT_NE(change, nullptr) << "the notification carries no ObjectsDidChange";
                  if (change->store == &store) changes.push_back(*change);
              })) {}

    std::vector<ObjectsDidChange> changes;

private:
    NotificationCenter::Observer token_;
};

// Sets TZ for one scope and puts the previous value back.
class TimeZoneOverride {
public:
    explicit TimeZoneOverride(const char* zone) {
        if (const char* previous = std::getenv("TZ")) previous_ = previous;
        ::setenv("TZ", zone, 1);
    }
    ~TimeZoneOverride() {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
    }
    TimeZoneOverride(const TimeZoneOverride&) = delete;
    TimeZoneOverride& operator=(const TimeZoneOverride&) = delete;

private:
    std::optional<std::string> previous_;
};

}  // namespace pressling::test
