#pragma once

#include "platform/Date.h"

#include <memory>
#include <optional>
#include <string_view>

namespace pressling {

// Reads dates written in one UTS #35 date pattern ("EEE, dd MMM yyyy HH:mm:ss ZZ") with the
// en_US_POSIX conventions (English names, Gregorian calendar), over ICU's SimpleDateFormat.
// Strict: non-lenient field values (no 31 June, no hour 24), and the whole text must be used.
// Month and weekday names match in any letter case.
//
// A pattern without a zone field reads the text in the device's time zone as it is at the
// time of the call: a change of the process's zone (TZ) is picked up.
//
// Building one is costly (ICU loads locale data), parsing is not: keep one per pattern and
// thread. One thread at a time.
class DatePatternParser {
public:
    explicit DatePatternParser(std::string_view pattern);
    ~DatePatternParser();
    DatePatternParser(const DatePatternParser&) = delete;
    DatePatternParser& operator=(const DatePatternParser&) = delete;

    // The point in time the UTF-8 text denotes, or none when it does not fit the pattern.
    std::optional<Date> parse(std::string_view text);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pressling
