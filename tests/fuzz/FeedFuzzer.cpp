// Any bytes as a feed document, in both modes: no crash, leak or hang, and every failure
// carries words for people.
#include "feedparse/RSSParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string document(reinterpret_cast<const char*>(data), size);
    for (bool checking : {false, true}) {
        pressling::RSSParser parser(document, "https://example.org/feed.xml");
        parser.checking = checking;
        const auto outcome = parser.parse();
        if (!outcome && outcome.error().message().empty()) std::abort();
        if (outcome && outcome->size() != parser.articles().size()) std::abort();
    }
    return 0;
}
