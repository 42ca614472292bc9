// The article list's dates: day headers in several languages, names not days, a row's time.

#include "reading/ListDateFormatter.h"
#include "support/QtTestSupport.h"

#include <QRegularExpression>

namespace pressling::reading {
namespace {

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
    const Date noon = test::march2021(7);  // 13:00 in Madrid
    EXPECT_TRUE(english.rowDate(noon, true).startsWith("1:00"));
    EXPECT_FALSE(english.rowDate(noon, true).contains("2021"));
    EXPECT_TRUE(english.rowDate(noon, false).contains(QRegularExpression("Mar 7, 2021.*1:00")));
    EXPECT_TRUE(english
                    .rowDate(std::nullopt, false)  // no date stands for now
                    .contains(QString::number(QDate::currentDate().year())));
}

}  // namespace
}  // namespace pressling::reading
