#include "reading/ListDateFormatter.h"

#include "ui/Localized.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

#include <string>

namespace pressling::reading {
namespace {

QString toQString(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

icu::Locale icuLocale(const QLocale& locale) {
    // "es_ES", "pt_BR": ICU reads Qt's names as they are.
    return icu::Locale(locale.name().toStdString().c_str());
}

UDate toUDate(Date date) { return UDate(date.time_since_epoch().count()); }

}  // namespace

struct ListDateFormatter::Formatters {
    icu::Locale locale;
    std::unique_ptr<icu::SimpleDateFormat> dayParser;
    std::unique_ptr<icu::DateFormat> relativeLongDate;
    std::unique_ptr<icu::DateFormat> shortTime;
    std::unique_ptr<icu::DateFormat> mediumDateShortTime;
};

ListDateFormatter::ListDateFormatter(const QLocale& locale)
    : formatters_(std::make_unique<Formatters>()) {
    Formatters& f = *formatters_;
    f.locale = icuLocale(locale);
    UErrorCode status = U_ZERO_ERROR;
    f.dayParser = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString("yyyy-MM-dd"),
                                                          icu::Locale("en_US_POSIX"), status);
    if (U_FAILURE(status)) f.dayParser.reset();
    if (f.dayParser) f.dayParser->setLenient(false);
    f.relativeLongDate.reset(icu::DateFormat::createDateInstance(
        icu::DateFormat::EStyle(icu::DateFormat::kLong | icu::DateFormat::kRelative), f.locale));
    f.shortTime.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, f.locale));
    f.mediumDateShortTime.reset(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kMedium, icu::DateFormat::kShort, f.locale));
}

ListDateFormatter::~ListDateFormatter() = default;

QString ListDateFormatter::sectionTitle(std::string_view name) const {
    if (name.empty()) return ui::Localized::tr("Previous...");
    const QString unchanged = QString::fromUtf8(name.data(), qsizetype(name.size()));
    const Formatters& f = *formatters_;
    if (!f.dayParser || !f.relativeLongDate) return unchanged;

    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), std::int32_t(name.size())));
    icu::ParsePosition position(0);
    const UDate day = f.dayParser->parse(text, position);
    // The whole name must be the day: "2021-03-07 extra" is a name, not a date.
    if (position.getErrorIndex() >= 0 || position.getIndex() != text.length()) return unchanged;

    icu::UnicodeString formatted;
    f.relativeLongDate->format(day, formatted);
    if (formatted.isEmpty()) return {};
    const QString title = toQString(formatted);
    // The first character, which may take two UTF-16 units.
    const qsizetype first = title.at(0).isHighSurrogate() && title.size() > 1 ? 2 : 1;
    return title.left(first).toUpper() + title.mid(first).toLower();
}

QString ListDateFormatter::rowDate(std::optional<Date> date, bool hasDay) const {
    const Formatters& f = *formatters_;
    const UDate when = date ? toUDate(*date) : icu::Calendar::getNow();
    icu::DateFormat* format = hasDay ? f.shortTime.get() : f.mediumDateShortTime.get();
    if (format == nullptr) return {};
    icu::UnicodeString text;
    format->format(when, text);
    return toQString(text);
}

QString ListDateFormatter::time(Date date) const {
    if (!formatters_->shortTime) return {};
    icu::UnicodeString text;
    formatters_->shortTime->format(toUDate(date), text);
    return toQString(text);
}

}  // namespace pressling::reading
