// Any bytes as a feed's date text: no crash, and a date read once reads the same again.
#include "feedparse/FeedDate.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto date = pressling::parseFeedDate(text);
    if (date != pressling::parseFeedDate(text)) std::abort();
    return 0;
}
