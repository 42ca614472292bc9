#include "Printable.h"

#include <fmt/format.h>
#include <unicode/utf8.h>

namespace pressling::cli {

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = std::int32_t(text.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            for (std::int32_t b = start; b < i; ++b) out += fmt::format("\\x{:02x}", bytes[b]);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7f) {
            out += fmt::format("\\x{:02x}", c);
        } else if (c >= 0x80 && c <= 0x9f) {
            out += fmt::format("\\u{:04x}", c);
        } else {
            out.append(text.substr(std::size_t(start), std::size_t(i - start)));
        }
    }
    return out;
}

}  // namespace pressling::cli
