#pragma once

#include <unicode/timezone.h>

#include <memory>

namespace pressling {

// The device's time zone, as ICU detects it from TZ and /etc/localtime. Any thread.
//
// Detection is costly where /etc/localtime is a copy rather than a link (ICU then compares it
// with every file under the zoneinfo folder) and ICU leaves its threading to the caller, so it
// runs once, under a lock, and again only when the zone setting changes: the value of TZ, or
// the identity or modification time of /etc/localtime (or of the file it links to). Those
// checks are a getenv and two stat calls per call.
//
// The result stays the same object for as long as the setting is unchanged, so a caller can
// tell a change by comparing pointers. Never null: ICU falls back to "Etc/Unknown" (UTC).
std::shared_ptr<const icu::TimeZone> hostTimeZone();

}  // namespace pressling
