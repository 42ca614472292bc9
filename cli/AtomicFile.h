#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace pressling::cli {

// Replaces the content of the file at path with bytes so that, whatever happens meanwhile (a
// full disk, a crash, a power cut), the file holds either its old content or all of the new:
// bytes go to a new file in the same folder, which is flushed to disk and then renamed over
// path. A file that was there keeps its permissions; a new one gets the usual ones (0666
// less the umask). A symbolic link at path is followed: the file it names is replaced. On
// failure nothing at path has changed, and the message names the file and the reason.
std::expected<void, std::string> replaceFile(const std::filesystem::path& path,
                                             std::string_view bytes);

}  // namespace pressling::cli
