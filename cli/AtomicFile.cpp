#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>

namespace pressling::cli {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::expected<void, std::string> replaceFile(const std::filesystem::path& path,
                                             std::string_view bytes) {
    std::error_code error;
    const auto target = std::filesystem::is_symlink(path, error)
                            ? std::filesystem::weakly_canonical(path, error)
                            : path;
    const auto fail = [&](int code) {
        return std::unexpected(
            fmt::format("cannot write {}: {}", target.string(), std::strerror(code)));
    };
    if (error) return fail(error.value());

    struct stat existing {};
    const mode_t mode =
        ::stat(target.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail(errno);
    const bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int code = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return fail(code);
    }
    // The rename itself is durable once the folder is flushed; a file system that cannot flush
    // a folder still has the whole file under one name or the other.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return {};
}

}  // namespace pressling::cli
