#include "flows/OpenURL.h"

#include "flows/AddFeed.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"

#include <fmt/format.h>

#include <string>

namespace pressling {
namespace {

// A URI reference taken apart as RFC 3986 (appendix B) does; an absent part differs from an
// empty one ("x:" has an empty path, "x:?" an empty query too).
struct UrlComponents {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

std::optional<UrlComponents> split(std::string_view text) {
    if (!Url::parse(text)) return std::nullopt;
    UrlComponents parts;
    // In a valid reference, a ':' before any '/', '?' or '#' ends a scheme: a relative
    // reference's first segment cannot hold one.
    if (const auto end = text.find_first_of(":/?#");
        end != std::string_view::npos && end > 0 && text[end] == ':') {
        parts.scheme.emplace(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        const auto end = std::min(text.find_first_of("/?#"), text.size());
        parts.authority.emplace(text.substr(0, end));
        text.remove_prefix(end);
    }
    const auto pathEnd = std::min(text.find_first_of("?#"), text.size());
    parts.path = text.substr(0, pathEnd);
    text.remove_prefix(pathEnd);
    if (text.starts_with('?')) {
        const auto end = std::min(text.find('#'), text.size());
        parts.query.emplace(text.substr(1, end - 1));
        text.remove_prefix(end);
    }
    if (text.starts_with('#')) parts.fragment.emplace(text.substr(1));
    return parts;
}

std::optional<Url> join(const UrlComponents& parts) {
    if (parts.authority && !parts.path.empty() && !parts.path.starts_with('/')) {
        return std::nullopt;
    }
    if (!parts.authority && parts.path.starts_with("//")) return std::nullopt;
    std::string text;
    if (parts.scheme) text += *parts.scheme + ':';
    if (parts.authority) text += "//" + *parts.authority;
    text += parts.path;
    if (parts.query) text += '?' + *parts.query;
    if (parts.fragment) text += '#' + *parts.fragment;
    return Url::parse(text);
}

bool mentionsHttp(std::string_view text) { return text.find("http") != std::string_view::npos; }

}  // namespace

std::optional<Url> normalizeOpenedURL(std::string_view text) {
    auto parts = split(text);
    if (!parts) return std::nullopt;
    if (!parts->scheme || !mentionsHttp(*parts->scheme)) {
        const auto rebuilt = join(*parts);
        if (rebuilt && mentionsHttp(rebuilt->absoluteString())) {
            parts->scheme.reset();
        } else {
            parts->scheme = "http";
        }
    }
    return join(*parts);
}

void openRSSURL(std::string_view text, const PresenterSupplier& presenter,
                std::function<void()> done) {
    openRSSURL(text, presenter, KeyValueStore::defaultStore(), std::move(done));
}

void openRSSURL(std::string_view text, const PresenterSupplier& presenter, KeyValueStore& listStore,
                std::function<void()> done) {
    const auto url = normalizeOpenedURL(text);
    if (!url) {
        log::warning(fmt::format("Cannot open \"{}\": it is not an address", text));
        return;
    }
    log::warning(fmt::format("Opening {}", url->absoluteString()));
    subscribe(*url, presenter, listStore, std::move(done));
}

}  // namespace pressling
