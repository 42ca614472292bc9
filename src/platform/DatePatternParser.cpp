#include "platform/DatePatternParser.h"

#include "platform/HostTimeZone.h"

#include <unicode/locid.h>
#include <unicode/parsepos.h>
#include <unicode/smpdtfmt.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace pressling {
namespace {

// Whether an unquoted zone field (z, Z, O, v, V, X, x) appears in a UTS #35 pattern.
bool hasZoneField(std::string_view pattern) {
    bool quoted = false;
    for (char c : pattern) {
        if (c == '\'') {
            quoted = !quoted;
        } else if (!quoted && std::string_view("zZOvVXx").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

struct DatePatternParser::Impl {
    std::unique_ptr<icu::SimpleDateFormat> format;
    bool readsDeviceZone = false;
    std::shared_ptr<const icu::TimeZone> zone;

    // Points the formatter at the device's zone as it is now; true when that changed it.
    bool followDeviceZone() {
        auto host = hostTimeZone();
        if (host == zone) return false;
        const bool changed = !zone || *host != *zone;
        zone = std::move(host);
        if (changed) format->setTimeZone(*zone);
        return changed;
    }

    std::optional<Date> read(const icu::UnicodeString& text) const {
        icu::ParsePosition position(0);
        const UDate date = format->parse(text, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != text.length()) {
            return std::nullopt;
        }
        return Date(std::chrono::milliseconds(std::llround(date)));
    }
};

DatePatternParser::DatePatternParser(std::string_view pattern) : impl_(std::make_unique<Impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    impl_->format = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), int32_t(pattern.size()))),
        icu::Locale("en_US_POSIX"), status);
    if (U_FAILURE(status)) {
        throw std::invalid_argument("bad date pattern \"" + std::string(pattern) +
                                    "\": " + u_errorName(status));
    }
    impl_->format->setLenient(false);
    impl_->readsDeviceZone = !hasZoneField(pattern);
    impl_->followDeviceZone();
}

DatePatternParser::~DatePatternParser() = default;

std::optional<Date> DatePatternParser::parse(std::string_view text) {
    const auto unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    auto date = impl_->read(unicode);
    // Only a text read in the device's zone depends on it, so the zone is looked up again only
    // then, and only after a successful read: most calls fail or carry their own zone.
    if (date && impl_->readsDeviceZone && impl_->followDeviceZone()) date = impl_->read(unicode);
    return date;
}

}  // namespace pressling
