#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pressling {

// Why each feed's last download or parse failed in this process, by the subscription's
// address as stored, so that the screens can say why a feed carries its error flag. Kept in
// memory beside the subscription list, never in it: the stored list's form is read by other
// programs. The refresh records a failure and forgets it when the feed's document arrives
// again. Any thread; each call is one whole step under a lock.
class LastRefreshErrors {
public:
    // The process's record, which every refresh fills.
    static LastRefreshErrors& shared();

    void record(std::string_view url, std::string reason);
    void forget(std::string_view url);
    // The reason of url's last failure; none when it has not failed since it last worked (or
    // since the process started).
    std::optional<std::string> reason(std::string_view url) const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::string> reasons_;
};

}  // namespace pressling
