// The article list's model over the fetched results: what opening it reads, how a save's
// changes reach a view without a reset, rows that must keep their identity when a day is
// added above them, the clean-up's silent deletions, and the new-article marker.
//
// Every model here runs under QAbstractItemModelTester, which stops the test at the first
// wrong count, bad parent or unbalanced begin/end.

#include "reading/ArticleListModel.h"
#include "support/QtTestSupport.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

namespace pressling::reading {
namespace {

using test::entry;
using test::march2021;

class ArticleListModelTest : public ::testing::Test {
protected:
    // n articles of feed A on day, one a minute back from 20:00.
    std::vector<Article> articlesOn(int day, int n, const std::string& prefix) {
        std::vector<Article> entries;
        for (int i = 0; i < n; ++i) {
            entries.push_back(entry(fmt::format("{} {}", prefix, i),
                                    fmt::format("https://a.example/{}/{}", prefix, i),
                                    march2021(day, 20 * 60 - i)));
        }
        return entries;
    }
    // Puts articles straight into the store, past saveArticles' per-feed cap.
    void insertAll(const std::vector<Article>& entries) {
        for (const Article& article : entries) {
            BlogPost post;
            post.blogLink = article.blogLink;
            post.desc = article.description;
            post.link = article.link;
            post.pubDate = article.pubDate;
            post.sectionDate = makeSectionDate(article.pubDate);
            post.title = article.title;
            post.web = article.web;
            stores.articles().insert(post);
        }
        ASSERT_TRUE(stores.articles().save().has_value());
    }
    std::unique_ptr<ArticleListModel> open() {
        auto model = ArticleListModel::create(stores.articles());
        EXPECT_TRUE(model.has_value());
        if (!model) return nullptr;
        tester = std::make_unique<QAbstractItemModelTester>(
            model->get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        return std::move(*model);
    }
    static QString title(const QModelIndex& index) {
        return index.data(ArticleListModel::TitleRole).toString();
    }

    test::ReaderStores stores;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(ArticleListModelTest, opensOnCountsAloneAndReadsRowsABatchAtATime) {
    insertAll(articlesOn(7, 21, "seventh"));
    insertAll(articlesOn(6, 20, "sixth"));
    auto model = open();
    auto& controller = model->fetchedResultsController();
    const std::size_t readByTester = controller.loadedBatchCount();

    ASSERT_EQ(model->rowCount(), 2);
    const QModelIndex seventh = model->index(0, 0);
    const QModelIndex sixth = model->index(1, 0);
    EXPECT_EQ(model->rowCount(seventh), 21);
    EXPECT_EQ(model->rowCount(sixth), 20);
    EXPECT_EQ(model->fetchedObjectCount(), 41u);
    EXPECT_EQ(seventh.data().toString(), "March 7, 2021");

    // Row 19 is the last of the first batch of 20, row 20 the first of the next.
    controller.performFetch();  // forget what the tester read
    (void)model->refetch();
    EXPECT_EQ(controller.loadedBatchCount(), 0u) << "the tester read " << readByTester;
    EXPECT_EQ(title(model->index(19, 0, model->index(0, 0))), "seventh 19");
    EXPECT_EQ(controller.loadedBatchCount(), 1u);
    EXPECT_EQ(title(model->index(0, 0, model->index(0, 0))), "seventh 0");
    EXPECT_EQ(controller.loadedBatchCount(), 1u);
    EXPECT_EQ(title(model->index(20, 0, model->index(0, 0))), "seventh 20");
    EXPECT_EQ(controller.loadedBatchCount(), 2u);
    EXPECT_EQ(title(model->index(19, 0, model->index(1, 0))), "sixth 19");
    EXPECT_EQ(controller.loadedBatchCount(), 3u);
}

TEST_F(ArticleListModelTest, anEmptyStoreHasNoRows) {
    auto model = open();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_FALSE(model->hasChildren());
}

TEST_F(ArticleListModelTest, aSaveInsertsRowsAndDaysWithoutAResetAndRowsKeepTheirIdentity) {
    insertAll(articlesOn(6, 3, "sixth"));
    auto model = open();
    const QPersistentModelIndex last = model->index(2, 0, model->index(0, 0));
    ASSERT_EQ(title(last), "sixth 2");
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);

    // A new day above, and a newer article on the same day.
    insertAll({entry("new day", "https://a.example/n", march2021(7)),
               entry("newer", "https://a.example/m", march2021(6, 21 * 60))});

    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(inserted.count(), 3);  // the day, its article, and the newer one
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(title(model->index(0, 0, model->index(0, 0))), "new day");
    EXPECT_EQ(title(model->index(0, 0, model->index(1, 0))), "newer");
    // The row a view held moved down a day and a row, and still is the same article.
    ASSERT_TRUE(last.isValid());
    EXPECT_EQ(last.parent().row(), 1);
    EXPECT_EQ(last.row(), 3);
    EXPECT_EQ(title(last), "sixth 2");
}

TEST_F(ArticleListModelTest, deletedArticlesLeaveAndAnEmptiedDayGoes) {
    insertAll(articlesOn(7, 1, "seventh"));
    insertAll(articlesOn(6, 2, "sixth"));
    auto model = open();
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    auto stored = stores.articles().fetch(ArticlePredicate::all());
    ASSERT_TRUE(stored && stored->size() == 3);
    stores.articles().deleteObject((*stored)[0]);  // the only one of the 7th
    stores.articles().deleteObject((*stored)[2]);
    ASSERT_TRUE(stores.articles().save().has_value());

    EXPECT_EQ(removed.count(), 3);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 1);
    EXPECT_EQ(title(model->index(0, 0, model->index(0, 0))), "sixth 0");
}

TEST_F(ArticleListModelTest, theCleanUpsSilentDeletionIsShownAndNothingDeletedResetsNothing) {
    insertAll(articlesOn(7, 2, "alpha"));
    insertAll(
        {entry("beta", "https://b.example/1", march2021(7), "https://b.example/feed", "Beta")});
    auto model = open();
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    EXPECT_FALSE(model->refetchIfChanged());
    EXPECT_EQ(resets.count(), 0);

    ASSERT_TRUE(deleteArticles("https://b.example/feed", stores.articles()).has_value());
    EXPECT_TRUE(model->refetchIfChanged());
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 2);
    EXPECT_EQ(model->fetchedObjectCount(), 2u);
}

TEST_F(ArticleListModelTest, theMarkerFollowsTheLastArticlesAndASelectionHidesItUntilAReload) {
    insertAll(articlesOn(7, 2, "seventh"));
    auto model = open();
    const QModelIndex first = model->index(0, 0, model->index(0, 0));
    const QModelIndex second = model->index(1, 0, model->index(0, 0));
    EXPECT_FALSE(first.data(ArticleListModel::IsNewRole).toBool());

    model->appendLastArticle("https://a.example/seventh/0");
    EXPECT_TRUE(first.data(ArticleListModel::IsNewRole).toBool());
    EXPECT_FALSE(second.data(ArticleListModel::IsNewRole).toBool());

    model->hideNewMarker(first);
    EXPECT_FALSE(first.data(ArticleListModel::IsNewRole).toBool());
    model->reloadData();
    EXPECT_TRUE(first.data(ArticleListModel::IsNewRole).toBool());

    model->clearLastArticles();
    EXPECT_FALSE(first.data(ArticleListModel::IsNewRole).toBool());
}

TEST_F(ArticleListModelTest, anArticleWithoutLinkDayOrFeedNameFallsIntoPreviousWithItsDate) {
    // Rows that someone else wrote: no link, no feed name, an empty day or none at all.
    const auto foreign = [&](Date pubDate, std::optional<std::string> day, std::string title) {
        BlogPost post;
        post.pubDate = pubDate;
        post.sectionDate = std::move(day);
        post.title = std::move(title);
        stores.articles().insert(post);
    };
    foreign(march2021(5), "", "empty day");
    foreign(march2021(4), std::nullopt, "no day");
    foreign(march2021(3), "someday", "odd");
    ASSERT_TRUE(stores.articles().save().has_value());
    auto model = open();
    model->appendLastArticle("");

    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 0).data().toString(), "someday");
    const QModelIndex previous = model->index(1, 0);
    EXPECT_EQ(previous.data().toString(), "Previous...");
    ASSERT_EQ(model->rowCount(previous), 2);
    for (int row = 0; row < 2; ++row) {
        const QModelIndex article = model->index(row, 0, previous);
        EXPECT_FALSE(article.data(ArticleListModel::IsNewRole).toBool());
        EXPECT_TRUE(article.data(ArticleListModel::WebRole).isNull());
        EXPECT_TRUE(article.data(ArticleListModel::DateTextRole).toString().contains("2021"))
            << article.data(ArticleListModel::DateTextRole).toString().toStdString();
    }
    EXPECT_FALSE(model->index(0, 0, model->index(0, 0))
                     .data(ArticleListModel::DateTextRole)
                     .toString()
                     .contains("2021"));
}

TEST_F(ArticleListModelTest, theFeedNameIsUpperCased) {
    insertAll({entry("one", "https://a.example/1", march2021(7), "https://a.example/feed",
                     "Ñandú news")});
    auto model = open();
    EXPECT_EQ(model->index(0, 0, model->index(0, 0)).data(ArticleListModel::WebRole).toString(),
              QString::fromUtf8("ÑANDÚ NEWS"));
}

}  // namespace
}  // namespace pressling::reading
