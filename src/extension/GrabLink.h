#pragma once

#include "flows/SubscribePresenter.h"
#include "platform/Download.h"
#include "platform/KeyValueStore.h"

#include <string>
#include <string_view>

namespace pressling {

// The texts the share helper shows. They are localisation keys: the English translation
// corrects their wording. "%1" stands for GrabOutcome::detail.
inline constexpr std::string_view kLinkAddedTitle = "Link added";
inline constexpr std::string_view kLinkAddedInfo =
    "Your link have been process succesfully and it will be available in your feed list";
// Not a feed: the same texts the reader's add flow shows.
inline constexpr std::string_view kNotAFeedTitle = kRSSNotFoundTitle;
inline constexpr std::string_view kNotAFeedInfo = kRSSNotFoundMessage;
inline constexpr std::string_view kErrorTitle = "Error";
inline constexpr std::string_view kLinkNotValidInfo = "Link is not valid";
inline constexpr std::string_view kDownloadFailedInfo = "The link could not be downloaded: %1";
inline constexpr std::string_view kListNotSavedInfo =
    "The link could not be added to your feed list: %1";
inline constexpr std::string_view kNoLinkTitle = "No link";
inline constexpr std::string_view kNoLinkInfo =
    "Drop a feed's link on this window, or start Feedgrab with one: feedgrab URL";
inline constexpr std::string_view kLoadingInfo = "Loading...";

// What one shared link came to: the two labels' keys, and the reason a download or the list
// failed, for kDownloadFailedInfo and kListNotSavedInfo (empty otherwise; not translated).
struct GrabOutcome {
    std::string_view title;
    std::string_view info;
    std::string detail;
};

// Checks the shared link as a feed and subscribes to it: the share helper's whole work, run
// on a background thread. Blocks for the download (within options' limits). Any thread.
//
// link is used as given (no scheme rule; surrounding white space aside) and must be an
// absolute URL, else kErrorTitle / kLinkNotValidInfo. A download failure is kErrorTitle /
// kDownloadFailedInfo with the download's reason; a document that is not a usable feed or has
// no title is kNotAFeedTitle / kNotAFeedInfo. A feed that passes is appended to the list in
// listStore (appendWeb: atomic, title check inside, stored order kept) and saved to the
// catalog (CKFeed::save, in the background), and gives kLinkAddedTitle / kLinkAddedInfo, also
// when its title was already subscribed; a list that cannot be written is kErrorTitle /
// kListNotSavedInfo with the store's reason. Failures are also logged on the console.
GrabOutcome grabLink(std::string_view link, KeyValueStore& listStore,
                     const DownloadOptions& options = {});

}  // namespace pressling
