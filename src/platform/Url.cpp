#include "platform/Url.h"

#include <uriparser/Uri.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace pressling {

std::optional<Url> Url::parse(std::string_view text) {
    if (text.empty()) return std::nullopt;
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &errorPos) !=
        URI_SUCCESS) {
        return std::nullopt;
    }
    std::string scheme;
    if (uri.scheme.first != nullptr) scheme.assign(uri.scheme.first, uri.scheme.afterLast);
    uriFreeUriMembersA(&uri);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return Url(std::string(text), std::move(scheme));
}

Url Url::fromFilePath(std::string_view absolutePath) {
    const std::string path(absolutePath);
    // uriparser's documented worst case for a Unix file name.
    std::vector<char> buffer(7 + 3 * path.size() + 1);
    uriUnixFilenameToUriStringA(path.c_str(), buffer.data());
    return Url(std::string(buffer.data()), "file");
}

bool Url::isHttpOrHttps() const { return scheme_ == "http" || scheme_ == "https"; }

}  // namespace pressling
