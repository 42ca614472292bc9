#pragma once

#include "platform/XmlEventParser.h"

#include <optional>
#include <string>

namespace pressling {

// Why a feed document could not be read. When the XML event parser gave a reason (a
// well-formedness fault with its line, or a stop in checking mode) that reason travels here
// unchanged; unknownParsingError is the parser failing without one.
struct ParserError {
    enum class Kind { unknownParsingError, xmlError };
    Kind kind = Kind::unknownParsingError;
    std::optional<XmlParseError> xml;  // set exactly when kind is xmlError

    static ParserError unknownParsingError() { return {}; }
    static ParserError fromXml(XmlParseError error) { return {Kind::xmlError, std::move(error)}; }

    // For people: "line 12: Opening and ending tag mismatch: ...".
    std::string message() const;
};

}  // namespace pressling
