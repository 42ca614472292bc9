#include "flows/LastRefreshErrors.h"

namespace pressling {

LastRefreshErrors& LastRefreshErrors::shared() {
    static LastRefreshErrors errors;
    return errors;
}

void LastRefreshErrors::record(std::string_view url, std::string reason) {
    std::lock_guard lock(mutex_);
    reasons_.insert_or_assign(std::string(url), std::move(reason));
}

void LastRefreshErrors::forget(std::string_view url) {
    std::lock_guard lock(mutex_);
    reasons_.erase(std::string(url));
}

std::optional<std::string> LastRefreshErrors::reason(std::string_view url) const {
    std::lock_guard lock(mutex_);
    const auto found = reasons_.find(std::string(url));
    if (found == reasons_.end()) return std::nullopt;
    return found->second;
}

}  // namespace pressling
