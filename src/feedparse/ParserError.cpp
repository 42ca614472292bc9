#include "feedparse/ParserError.h"

#include <fmt/format.h>

namespace pressling {

namespace {

constexpr std::string_view kUnknown = "the document could not be read";

}  // namespace

std::string ParserError::message() const {
    if (kind == Kind::unknownParsingError || !xml) return std::string(kUnknown);
    if (xml->stoppedByHandler) return "reading stopped early";
    // libxml2 may fail a document without a word: never an empty text.
    const std::string_view text = xml->message.empty() ? kUnknown : xml->message;
    if (xml->line > 0) return fmt::format("line {}: {}", xml->line, text);
    return std::string(text);
}

}  // namespace pressling
