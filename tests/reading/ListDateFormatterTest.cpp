// The article list's dates: section headers in several languages, with the relative words for
// today and yesterday, names that are not days, and the row's time or date and time.

#include "reading/ListDateFormatter.h"
#include "store/ArticleOperations.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

namespace pressling::reading {
namespace {

Date now() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

TEST(ListDateFormatterTest, sectionsWithoutADayAndNamesThatAreNotDays) {
    const ListDateFormatter english(QLocale("en_US"));
    EXPECT_EQ(english.sectionTitle(""), "Previous...");
    EXPECT_EQ(english.sectionTitle("someday"), "someday");
    // Not a day of the calendar, and not the whole name: shown as they are.
    EXPECT_EQ(english.sectionTitle("2021-02-30"), "2021-02-30");
    EXPECT_EQ(english.sectionTitle("2021-03-07 extra"), "2021-03-07 extra");
}

TEST(ListDateFormatterTest, aDayIsALongDateWithItsFirstLetterUpperAndTheRestLower) {
    EXPECT_EQ(ListDateFormatter(QLocale("en_US")).sectionTitle("2021-03-07"), "March 7, 2021");
    EXPECT_EQ(ListDateFormatter(QLocale("es_ES")).sectionTitle("2021-03-07"), "7 de marzo de 2021");
    // The rule lower-cases the rest even where the language would not.
    EXPECT_EQ(ListDateFormatter(QLocale("de_DE")).sectionTitle("2021-03-07"), "7. märz 2021");
}

TEST(ListDateFormatterTest, todayAndYesterdayReadAsTheLanguagesWords) {
    const std::string today = makeSectionDate(now());
    const std::string yesterday = makeSectionDate(now() - std::chrono::hours(24));
    EXPECT_EQ(ListDateFormatter(QLocale("en_US")).sectionTitle(today), "Today");
    EXPECT_EQ(ListDateFormatter(QLocale("en_US")).sectionTitle(yesterday), "Yesterday");
    EXPECT_EQ(ListDateFormatter(QLocale("es_ES")).sectionTitle(today), "Hoy");
}

TEST(ListDateFormatterTest, aRowInADayShowsItsTimeAndOneWithoutADayItsDateToo) {
    const ListDateFormatter english(QLocale("en_US"));
    // 2021-03-07 12:00 UTC is 13:00 in Madrid, the suites' zone.
    const Date noon = test::march2021(7);
    EXPECT_EQ(english.rowDate(noon, true), english.time(noon));
    EXPECT_TRUE(english.rowDate(noon, true).contains("1:00"));
    EXPECT_FALSE(english.rowDate(noon, true).contains("2021"));
    EXPECT_TRUE(english.rowDate(noon, false).contains("Mar 7, 2021"));
    EXPECT_TRUE(english.rowDate(noon, false).contains("1:00"));
    // No date stands for now.
    EXPECT_TRUE(english.rowDate(std::nullopt, false)
                    .contains(QString::number(QDate::currentDate().year())));
}

}  // namespace
}  // namespace pressling::reading
