#include "subscriptions/AppendWeb.h"

#include "platform/UnicodeText.h"
#include "subscriptions/StoredWebs.h"

#include <algorithm>

namespace pressling {

std::expected<AppendOutcome, KeyValueStoreError> appendWeb(const Web& web, KeyValueStore& store) {
    auto written = updateStoredWebs(
        [&](const std::vector<Web>& stored) -> std::optional<std::vector<Web>> {
            if (std::ranges::any_of(stored, [&](const Web& other) {
                    return canonicallyEqual(other.title, web.title);
                })) {
                return std::nullopt;
            }
            std::vector<Web> next = stored;
            next.push_back(web);
            return next;
        },
        store);
    if (!written) return std::unexpected(std::move(written.error()));
    return *written ? AppendOutcome::appended : AppendOutcome::alreadySubscribed;
}

}  // namespace pressling
