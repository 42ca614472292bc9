#include "platform/DataFolder.h"

#include <fmt/format.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace pressling {
namespace {

std::mutex gOverrideMutex;
std::filesystem::path gOverride;

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::optional<std::filesystem::path> homeFolder() {
    if (auto home = variable("HOME")) return std::filesystem::path(*home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return std::filesystem::path(found->pw_dir);
    }
    return std::nullopt;
}

std::expected<std::filesystem::path, std::string> chosenFolder() {
    {
        std::lock_guard lock(gOverrideMutex);
        if (!gOverride.empty()) return gOverride;
    }
    if (auto folder = variable("PRESSLING_DATA_DIR")) return std::filesystem::path(*folder);
    if (auto xdg = variable("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
        return std::filesystem::path(*xdg) / "pressling";
    }
    if (auto home = homeFolder()) return *home / ".local" / "share" / "pressling";
    return std::unexpected(std::string(
        "Cannot find the data folder: none of PRESSLING_DATA_DIR, XDG_DATA_HOME or HOME is set "
        "and the account has no home folder"));
}

}  // namespace

std::expected<std::filesystem::path, std::string> dataFolder() {
    auto chosen = chosenFolder();
    if (!chosen) return chosen;
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(*chosen, error);
    if (error) folder = *chosen;
    // create_directories succeeds without creating anything when the folder is there, so the
    // check below is what catches a file standing where the folder should be.
    std::filesystem::create_directories(folder, error);
    if (error) {
        return std::unexpected(
            fmt::format("Cannot create the data folder {}: {}", folder.string(), error.message()));
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return std::unexpected(
            fmt::format("Cannot use {} as the data folder: it is not a folder", folder.string()));
    }
    return folder;
}

void setDataFolderOverride(std::filesystem::path folder) {
    std::lock_guard lock(gOverrideMutex);
    gOverride = std::move(folder);
}

}  // namespace pressling
