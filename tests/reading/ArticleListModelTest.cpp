// The article list's model under QAbstractItemModelTester (batches, changes, foreign rows)
// and its dates: day headers in several languages, names not days, a row's time.

#include "reading/ArticleListModel.h"
#include "reading/ListDateFormatter.h"
#include "support/QtTestSupport.h"
#include "support/StoreTestSupport.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QRegularExpression>

namespace pressling::reading {
namespace {

using namespace std::chrono_literals;

class ArticleListModelTest : public ::testing::Test {
protected:
    // n articles "<prefix> 0".. on day, a minute apart back from 20:00, past saving's per-feed cap.
    void insert(int day, int n, const std::string& prefix, const std::string& web = "Alpha") {
        std::vector<BlogPost> posts;
        for (int i = 0; i < n; ++i) {
            const Date date = test::day(day, std::chrono::minutes(20 * 60 - i));
            posts.push_back(test::post(fmt::format("{} {}", prefix, i), date));
            posts.back().web = web;
        }
        test::insertAndSave(stores.articles(), posts);
    }
    std::unique_ptr<ArticleListModel> open() {
        auto model = std::move(ArticleListModel::create(stores.articles()).value());
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        return model;
    }
    static QString title(const QModelIndex& index) {
        return index.data(ArticleListModel::TitleRole).toString();
    }
    static QModelIndex at(const ArticleListModel& model, int section, int row) {
        return model.index(row, 0, model.index(section, 0));
    }

    test::ReaderStores stores;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(ArticleListModelTest, opensOnCountsAloneAndReadsRowsABatchAtATime) {
    insert(7, 21, "seventh");
    insert(6, 20, "sixth");
    auto model = open();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 21);
    EXPECT_EQ(model->rowCount(model->index(1, 0)), 20);
    auto& controller = model->fetchedResultsController();
    (void)model->refetch();  // forget what the tester read
    // Row 19 is the last of the first batch of 20, row 20 the first of the next.
    const std::tuple<int, int, const char*, std::size_t> reads[] = {{0, 19, "seventh 19", 1},
                                                                    {0, 0, "seventh 0", 1},
                                                                    {0, 20, "seventh 20", 2},
                                                                    {1, 19, "sixth 19", 3}};
    for (const auto& [section, row, expected, batches] : reads) {
        EXPECT_EQ(title(at(*model, section, row)), expected);
        EXPECT_EQ(controller.loadedBatchCount(), batches) << expected;
    }
}

// A save's changes arrive row by row; the clean-up's silent deletion resets, but only when it
// deleted something.
TEST_F(ArticleListModelTest, aSaveChangesRowsAndDaysWithoutAResetAndASilentDeletionResets) {
    insert(6, 3, "sixth");
    auto model = open();
    const QPersistentModelIndex held = at(*model, 0, 0);
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    // A new day above, and a newer article of another feed on the same day.
    stores.store({test::article("new day", "https://a.example/n", test::day(7)),
                  test::article("newer", "https://a.example/m", test::day(6, 21h), test::kFeedB)});
    EXPECT_EQ(inserted.count(), 3);  // the day, its article, and the newer one
    EXPECT_EQ(title(at(*model, 0, 0)) + "/" + title(at(*model, 1, 0)), "new day/newer");
    // The row a view held moved down a day and a row, and still is the same article.
    EXPECT_EQ(std::pair(held.parent().row(), held.row()), std::pair(1, 1));
    EXPECT_EQ(title(held), "sixth 0");

    auto stored = stores.articles().fetch(ArticlePredicate::all()).value();
    stores.articles().deleteObject(stored[0]);  // the only one of the 7th
    stores.articles().deleteObject(stored[2]);
    ASSERT_TRUE(stores.articles().save().has_value());
    EXPECT_EQ(removed.count(), 3);
    ASSERT_EQ(std::pair(model->rowCount(), model->rowCount(model->index(0, 0))), std::pair(1, 3));
    EXPECT_EQ(title(at(*model, 0, 2)), "sixth 2");

    EXPECT_FALSE(model->refetchIfChanged());
    EXPECT_EQ(resets.count(), 0);
    ASSERT_TRUE(deleteArticles(test::kFeedB, stores.articles()).has_value());  // "newer"
    EXPECT_TRUE(model->refetchIfChanged());
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 2);
}

TEST_F(ArticleListModelTest, foreignRowsFallIntoPreviousWithTheirDateAndNoMarker) {
    // Rows someone else wrote: no link, no feed name, an empty day or none at all.
    test::insertAndSave(stores.articles(), {{.pubDate = test::day(5), .sectionDate = ""},
                                            {.pubDate = test::day(4)},
                                            {.pubDate = test::day(3), .sectionDate = "someday"}});
    insert(7, 1, "upper", "Ñandú news");
    auto model = open();
    model->appendLastArticle("");
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(at(*model, 0, 0).data(ArticleListModel::WebRole).toString(), "ÑANDÚ NEWS");
    EXPECT_FALSE(at(*model, 0, 0).data(ArticleListModel::DateTextRole).toString().contains("2021"));
    EXPECT_EQ(model->index(2, 0).data().toString(), "Previous...");
    for (int row = 0; row < 2; ++row) {
        const QModelIndex article = at(*model, 2, row);
        EXPECT_FALSE(article.data(ArticleListModel::IsNewRole).toBool());
        EXPECT_TRUE(article.data(ArticleListModel::WebRole).isNull());
        EXPECT_TRUE(article.data(ArticleListModel::DateTextRole).toString().contains("2021"));
    }
}

TEST(ListDateFormatterTest, sectionTitles) {
    const Date now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const std::string today = makeSectionDate(now);
    const struct {
        const char *why, *locale;
        std::string name;
        QString title;
    } rows[] = {
        {"articles without a day", "en_US", "", "Previous..."},
        {"not a day", "en_US", "someday", "someday"},
        {"not on the calendar", "en_US", "2021-02-30", "2021-02-30"},
        {"a day and more", "en_US", "2021-03-07 extra", "2021-03-07 extra"},
        {"a long date", "en_US", "2021-03-07", "March 7, 2021"},
        {"another language", "es_ES", "2021-03-07", "7 de marzo de 2021"},
        {"the rest lower-cased", "de_DE", "2021-03-07", "7. märz 2021"},
        {"today", "en_US", today, "Today"},
        {"today, upper-cased", "es_ES", today, "Hoy"},
        {"yesterday", "en_US", makeSectionDate(now - std::chrono::hours(24)), "Yesterday"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ListDateFormatter(QLocale(row.locale)).sectionTitle(row.name), row.title)
            << row.why;
}

TEST(ListDateFormatterTest, aRowInADayShowsItsTimeAndOneWithoutADayItsDateToo) {
    const ListDateFormatter english(QLocale("en_US"));
    const Date noon = test::day(7);  // 13:00 in Madrid
    EXPECT_TRUE(english.rowDate(noon, true).startsWith("1:00"));
    EXPECT_TRUE(english.rowDate(noon, false).contains(QRegularExpression("Mar 7, 2021.*1:00")));
    const QString thisYear = QString::number(QDate::currentDate().year());
    EXPECT_TRUE(english.rowDate(std::nullopt, false).contains(thisYear));  // no date: now
}

}  // namespace
}  // namespace pressling::reading
