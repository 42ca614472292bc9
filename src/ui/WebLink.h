#pragma once

#include <QUrl>

namespace pressling::ui {

// Whether url is a web page's address: http or https, with a host. Only such a link is loaded,
// copied, shared or handed to the desktop. A feed may put any URI in an article's link (an Atom
// id such as "tag:…" or "urn:…", javascript:, file:, data:, a relative text); none of those is
// an address to visit, and file: or javascript: handed on could open or run something. Any
// thread.
inline bool isWebLink(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

}  // namespace pressling::ui
