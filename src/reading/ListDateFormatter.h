#pragma once

#include "platform/Date.h"

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>
#include <string_view>

namespace pressling::reading {

// The dates of the article list in one locale, as ICU formats them: section headers (long
// date, with the locale's words for today and yesterday), the time or date-and-time of a row,
// and the time of the last update. Days are read in the device's time zone, like the store's
// section names. Creating one is costly (ICU loads the locale's patterns); keep it. Main thread.
class ListDateFormatter {
public:
    explicit ListDateFormatter(const QLocale& locale = QLocale());
    ~ListDateFormatter();
    ListDateFormatter(const ListDateFormatter&) = delete;
    ListDateFormatter& operator=(const ListDateFormatter&) = delete;

    // The header of the section named name:
    //  - "" gives the localised "Previous..." (the articles without a day);
    //  - a name that is not a "yyyy-MM-dd" day is returned as it is;
    //  - a day is written as a long date, today and yesterday by their words, with its first
    //    character upper-cased and the rest lower-cased ("hoy" → "Hoy"). A day that formats to
    //    nothing gives the empty text (no header).
    QString sectionTitle(std::string_view name) const;

    // A row's date: the time alone (short style) when the article sits in a day's section
    // (hasDay), otherwise the medium date and the short time. No date stands for now.
    QString rowDate(std::optional<Date> date, bool hasDay) const;

    // The time of day of date, short style, without date ("Updated at 21:05").
    QString time(Date date) const;

private:
    struct Formatters;
    std::unique_ptr<Formatters> formatters_;
};

}  // namespace pressling::reading
