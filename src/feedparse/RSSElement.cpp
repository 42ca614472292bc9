#include "feedparse/RSSElement.h"

#include <array>
#include <utility>

namespace pressling {

std::optional<RSSElement> rssElementNamed(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, RSSElement>, kRSSElementCount> kNames{{
        {"item", RSSElement::item},
        {"title", RSSElement::title},
        {"description", RSSElement::description},
        {"guid", RSSElement::guid},
        {"link", RSSElement::link},
        {"pubDate", RSSElement::pubDate},
        {"entry", RSSElement::entry},
        {"updated", RSSElement::updated},
        {"subtitle", RSSElement::subtitle},
        {"summary", RSSElement::summary},
        {"id", RSSElement::id},
        {"image", RSSElement::image},
        {"content", RSSElement::content},
        {"dc:date", RSSElement::dcDate},
    }};
    for (const auto& [text, element] : kNames) {
        if (text == name) return element;
    }
    return std::nullopt;
}

}  // namespace pressling
