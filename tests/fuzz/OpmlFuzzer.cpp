// Any bytes as an OPML document: no crash, leak or hang, and the feeds read survive being
// written and read again.
#include "subscriptions/Opml.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto feeds = pressling::readOpml({reinterpret_cast<const char*>(data), size});
    if (!feeds) {
        if (feeds.error().empty()) std::abort();
        return 0;
    }
    std::vector<pressling::Web> webs;
    for (const auto& feed : *feeds) webs.push_back({feed.title, feed.xmlUrl, std::nullopt});
    if (pressling::readOpml(pressling::writeOpml(webs)) != feeds) std::abort();
    return 0;
}
