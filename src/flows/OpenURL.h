#pragma once

#include "flows/SubscribePresenter.h"
#include "platform/Url.h"

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
// subscribe). Does nothing when normalizeOpenedURL gives none. Logs the address it subscribes
// to. Main thread only; blocks for the download.
void openRSSURL(std::string_view text, const PresenterSupplier& presenter);
// As above, on an explicit subscription list store (for tests).
void openRSSURL(std::string_view text, const PresenterSupplier& presenter,
                KeyValueStore& listStore);

}  // namespace pressling
