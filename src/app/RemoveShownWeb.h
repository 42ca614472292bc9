#pragma once

#include "subscriptions/Web.h"

#include <cstddef>
#include <vector>

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::app {

enum class ShownWebRemoval {
    removed,  // removeWeb removed it (and posted "willRemoveWeb")
    gone,     // the stored list no longer holds it: nothing was removed or posted
    failed,   // removeWeb failed (logged); nothing was removed
};

// Unsubscribes from the feed a screen shows at position of shown (the rows as the screen read
// them), wherever that feed stands in the list as stored now: another program may have changed
// the list since the screen was built, and the bare position could then name a neighbour. The
// feed is found by its address and title together; of several equal entries, the n-th shown is
// the n-th stored. REQUIRES: position < shown.size(). Main thread (removeWeb's rule).
ShownWebRemoval removeShownWeb(const std::vector<Web>& shown, std::size_t position,
                               KeyValueStore& listStore, ArticleStore& articleStore);

}  // namespace pressling::app
