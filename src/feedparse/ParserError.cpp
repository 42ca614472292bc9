#include "feedparse/ParserError.h"

#include <fmt/format.h>

namespace pressling {

std::string ParserError::message() const {
    if (kind == Kind::unknownParsingError || !xml) return "the document could not be read";
    if (xml->stoppedByHandler) return "reading stopped early";
    if (xml->line > 0) return fmt::format("line {}: {}", xml->line, xml->message);
    return xml->message;
}

}  // namespace pressling
