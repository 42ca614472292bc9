#include "feedparse/TextLimits.h"

namespace pressling {

std::string boundedText(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    std::size_t cut = maxBytes;
    // Back off continuation bytes (10xxxxxx) so that the cut falls before a character's first
    // byte.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut));
}

}  // namespace pressling
