#pragma once

#include "flows/SubscribePresenter.h"
#include "platform/Url.h"

#include <functional>
#include <optional>
#include <string_view>

namespace pressling {

class KeyValueStore;

// The address to subscribe to for a URL handed to the application (a "feed:" link from another
// program, a second launch's argument), or none when text cannot be taken apart or put back
// together. Any thread.
//
// text is split into its RFC 3986 components (scheme, authority, path, query, fragment). A
// scheme that contains "http" (http, https) is kept. Otherwise the components are put back
// together: when that gives an address with "http" anywhere in it, the scheme is dropped,
// else it becomes "http"; then they are put together once more. Every test is case-sensitive.
// So "feed://example.org/rss" gives "http://example.org/rss", "feed:https://example.org/rss"
// gives "https://example.org/rss", and "https://x" stays as it is. A scheme is dropped also
// when only the host or path mentions "http": "feed://httpd.example/rss" gives
// "//httpd.example/rss", which has no scheme and so fails to download later.
//
// Components that cannot be put back together are those RFC 3986 cannot express: a path not
// starting with "/" after an authority, or starting with "//" without one.
std::optional<Url> normalizeOpenedURL(std::string_view text);

// Subscribes to the address normalizeOpenedURL makes of text, and shows the outcome (see
// subscribe, which checks in the background and runs done after the outcome). Does nothing, and
// runs no done, when normalizeOpenedURL gives none. Logs the address it subscribes to. Main
// thread only; returns at once.
void openRSSURL(std::string_view text, const PresenterSupplier& presenter,
                std::function<void()> done = {});
// As above, on an explicit subscription list store, which must outlive the check.
void openRSSURL(std::string_view text, const PresenterSupplier& presenter, KeyValueStore& listStore,
                std::function<void()> done = {});

}  // namespace pressling
