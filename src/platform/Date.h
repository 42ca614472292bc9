#pragma once

#include <chrono>
#include <string>

namespace pressling {

// An absolute point in time, to the millisecond: what feeds carry and what the store keeps.
using Date = std::chrono::sys_time<std::chrono::milliseconds>;

// "2003-06-10T04:00:00.000Z": ISO 8601 in UTC with milliseconds. Any thread.
std::string toIso8601Utc(Date date);

}  // namespace pressling
