#include "platform/Date.h"

#include <fmt/format.h>

namespace pressling {

std::string toIso8601Utc(Date date) {
    using namespace std::chrono;
    const auto day = floor<days>(date);
    const year_month_day ymd{day};
    const hh_mm_ss time{date - day};
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z", int(ymd.year()),
                       unsigned(ymd.month()), unsigned(ymd.day()), time.hours().count(),
                       time.minutes().count(), time.seconds().count(), time.subseconds().count());
}

}  // namespace pressling
