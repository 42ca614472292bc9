#include "platform/HostTimeZone.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

namespace pressling {
namespace {

constexpr char kLocalTime[] = "/etc/localtime";

// What tells one version of a file from another without reading it.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity identify(int (*statFunction)(const char*, struct stat*)) {
    struct stat info {};
    if (statFunction(kLocalTime, &info) != 0) return {};
    return {true, info.st_dev, info.st_ino, info.st_size,
            info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
}

// Everything ICU's detection reads. Replacing the link changes the first identity; rewriting
// the zone file in place, the second.
struct ZoneSetting {
    std::optional<std::string> tz;
    FileIdentity link;
    FileIdentity file;
    friend bool operator==(const ZoneSetting&, const ZoneSetting&) = default;
};

ZoneSetting currentSetting() {
    const char* tz = std::getenv("TZ");
    return {tz ? std::optional<std::string>(tz) : std::nullopt, identify(::lstat),
            identify(::stat)};
}

struct Cache {
    std::mutex mutex;
    ZoneSetting setting;
    std::shared_ptr<const icu::TimeZone> zone;
};

}  // namespace

std::shared_ptr<const icu::TimeZone> hostTimeZone() {
    // Never destroyed: a global-queue item may still read a date while the process exits.
    static Cache& cache = *new Cache;
    ZoneSetting setting = currentSetting();
    std::lock_guard lock(cache.mutex);
    if (!cache.zone || setting != cache.setting) {
        cache.zone.reset(icu::TimeZone::detectHostTimeZone());
        cache.setting = std::move(setting);
    }
    return cache.zone;
}

}  // namespace pressling
