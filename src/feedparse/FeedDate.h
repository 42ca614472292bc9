#pragma once

#include "platform/Date.h"

#include <optional>
#include <string_view>

namespace pressling {

// The point in time a feed's date text denotes, or none. The text is an element's trimmed
// text. Five forms are read, tried in this order:
//   1. "Tue, 10 Jun 2003 04:00:00 +0000"   RFC 822, numeric zone
//   2. "Tue, 10 Jun 2003 04:00:00 GMT"     RFC 822, zone name ("UT" and "Z" too)
//   3. "2003-06-10T04:00:00.000+0000"      ISO 8601 with a fraction (an extended offset too)
//   4. "2003/06/10"                        a bare day: midnight in the device's time zone
//   5. "2003-06-10T04:00:00+02:00"         ISO 8601 without fraction, offset or "Z"
// English names only, in any letter case; a single-digit day is accepted; a weekday that does
// not match the date is ignored. The year must have four digits, impossible dates ("31 Jun")
// and trailing text are refused, and the empty text gives none.
//
// Any thread; each thread keeps its own ICU formatters.
std::optional<Date> parseFeedDate(std::string_view text);

}  // namespace pressling
