// The readers of untrusted bytes under libFuzzer, one binary each (FUZZ_TARGET names the reader):
// no crash, leak or hang, failures carry words for people, and what is read reads back the same.
#include "feedparse/FeedDate.h"
#include "feedparse/RSSParser.h"
#include "subscriptions/Opml.h"
#include "subscriptions/StoredWebs.h"

#include <cstdint>
#include <cstdlib>

// External linkage: each binary uses one of these, and unused ones draw no warning.
namespace pressling::fuzz {

void require(bool holds) {
    if (!holds) std::abort();
}

void date(std::string_view text) { require(parseFeedDate(text) == parseFeedDate(text)); }

void feed(std::string_view document) {
    for (bool checking : {false, true}) {
        RSSParser parser(std::string(document), "https://example.org/feed.xml");
        parser.checking = checking;
        const auto outcome = parser.parse();
        require(outcome ? outcome->size() == parser.articles().size()
                        : !outcome.error().message().empty());
    }
}

void opml(std::string_view document) {
    const auto feeds = readOpml(document);
    if (!feeds) return require(!feeds.error().empty());
    std::vector<Web> list;
    for (const auto& entry : *feeds) list.push_back({entry.title, entry.xmlUrl, std::nullopt});
    require(readOpml(writeOpml(list)) == feeds);
}

void webs(std::string_view bytes) {
    const auto decoded = decodeWebs(bytes);
    if (!decoded) return;
    const auto encoded = encodeWebs(*decoded);
    require(encoded && decodeWebs(*encoded) == decoded);
}

}  // namespace pressling::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pressling::fuzz::FUZZ_TARGET({reinterpret_cast<const char*>(data), size});
    return 0;
}
