#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pressling {

// How much text a feed may put into the article store and the subscription list. A feed is
// someone else's document: without a bound, one title of 30 MB would be copied into the list
// that every process reads whole at every start, and into every article row. Texts longer than
// their cap are cut (boundedText), not refused; the caps are far above any real title or page.
// Any thread.

// Feed and article titles (a subscription's title, an article's title and web). Default: 4 KiB.
inline constexpr std::size_t kMaxTitleBytes = 4 * 1024;
// An article's link. Default: 8 KiB, what common servers accept in a request line. A cut
// address would point elsewhere, so a longer link is not stored at all rather than cut.
inline constexpr std::size_t kMaxLinkBytes = 8 * 1024;
// An article's description, markup included. Default: 1 MiB.
inline constexpr std::size_t kMaxDescriptionBytes = 1024 * 1024;

// text cut to at most maxBytes bytes, at a UTF-8 character boundary (a character is never
// split; text that is not UTF-8 is cut before any byte that looks like a continuation byte).
// text itself when it fits.
std::string boundedText(std::string_view text, std::size_t maxBytes);

}  // namespace pressling
