#pragma once

#include "feedparse/RSSData.h"
#include "flows/SubscribePresenter.h"
#include "platform/Download.h"
#include "platform/Url.h"

#include <expected>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

namespace pressling {

class KeyValueStore;

// Posted on NotificationCenter::defaultCenter(), with no object, after addRSS appended a feed
// to the subscription list.
inline constexpr std::string_view kWillUpdateWebNotification = "willUpdateWeb";

// The add flow's own failure.
enum class RSSError {
    notFound,  // the candidate downloaded but is not a usable feed
    notSaved,  // the feed passed, but the subscription list could not be written
};

// Why addRSS failed: an RSSError, or the download's own error. A plain value; any thread.
struct AddRSSError {
    std::variant<RSSError, DownloadError> reason;
    // For people: names the candidate's address and what was wrong with it.
    std::string message;

    static AddRSSError notFound(const Url& url, std::string_view why);
    static AddRSSError fromDownload(DownloadError error);
    static AddRSSError notSaved(std::string_view why);

    bool isNotFound() const { return is(RSSError::notFound); }
    bool isNotSaved() const { return is(RSSError::notSaved); }
    // The download's error, or null for an RSSError. Lives as long as this error.
    const DownloadError* downloadError() const { return std::get_if<DownloadError>(&reason); }

private:
    bool is(RSSError error) const {
        const auto* own = std::get_if<RSSError>(&reason);
        return own && *own == error;
    }
};

// The catalog entry for a candidate that passed checkFeed: its title, description and address.
// Any thread; blocks the calling thread for the download and the check.
//
// The candidate is downloaded and read in the parser's checking mode. It passes when its first
// dated entry's date can be read and it has a title (an empty title is a title). The title and
// description come cut to kMaxTitleBytes and kMaxDescriptionBytes (TextLimits.h), an absent
// description as "". Fails, with no other effect, with the download's error when url cannot be
// fetched (not http or https, network, HTTP 4xx/5xx, limits), and with RSSError::notFound when
// the document does not pass the check or has no title.
std::expected<RSSData, AddRSSError> checkFeed(const Url& url);

// Takes a feed checkFeed passed into the catalog and the subscription list. Any thread;
// blocks for the list's update.
//
//  - it is saved to the feed catalog (CKFeed::save, in the background; its outcome is not
//    awaited, and a failure is only logged) — also when it is already subscribed;
//  - unless a subscription with the same title is already stored (the same text up to
//    canonical equivalence, case counting; addresses are not compared), it is appended to
//    the end of the list as {title, url's absolute string, no error flag}, in one atomic update
//    of the list, so that a concurrent writer's change is kept; and kWillUpdateWebNotification
//    is posted on the calling thread.
//
// Success also covers "already subscribed": nothing is written and nothing is posted. When the
// list cannot be written it fails with RSSError::notSaved (the store's reason in the message)
// and posts nothing.
std::expected<void, AddRSSError> storeFeed(const RSSData& feed, KeyValueStore& listStore);

// checkFeed, then storeFeed, on the calling thread. Any thread.
std::expected<void, AddRSSError> addRSS(const Url& url);
// As above, on an explicit subscription list store (for tests).
std::expected<void, AddRSSError> addRSS(const Url& url, KeyValueStore& listStore);

// Subscribes to url and shows the outcome. Main thread only; returns at once.
//
// presenter() is asked first: null means there is no window, and then nothing at all happens
// (no download, no message). Otherwise that presenter is told checkStarted(), checkFeed runs on
// the global queue, and back on the main queue storeFeed runs and the same presenter is told
// checkEnded() and then the outcome: success (already subscribed included) shows
// kLinkAddedText as a transient message; any failure is logged on the console and presented as
// an alert with one default-style button kOkeyButton, whose only effect is to close it, and the
// failure's own message as its reason: titled kListNotSavedTitle ("Error") with
// kListNotSavedMessage when the list could not be written, else kRSSNotFoundTitle with
// kRSSNotFoundMessage. Several checks may run at once; each outcome is shown once, in the order the
// checks finish. done, if given, runs on the main queue after the outcome was shown.
void subscribe(const Url& url, const PresenterSupplier& presenter, std::function<void()> done = {});
// As above, on an explicit subscription list store, which must outlive the check.
void subscribe(const Url& url, const PresenterSupplier& presenter, KeyValueStore& listStore,
               std::function<void()> done = {});

}  // namespace pressling
