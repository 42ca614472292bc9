// Any bytes as a stored subscription list: no crash, and a list that decodes encodes and
// decodes back to itself.
#include "subscriptions/StoredWebs.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto webs = pressling::decodeWebs({reinterpret_cast<const char*>(data), size});
    if (!webs) return 0;
    const auto bytes = pressling::encodeWebs(*webs);
    if (!bytes || pressling::decodeWebs(*bytes) != webs) std::abort();
    return 0;
}
