#pragma once

#include <expected>
#include <memory>
#include <string>
#include <string_view>

namespace pressling {

// Receives the events of one document, in document order, synchronously during
// XmlEventParser::parse. Strings passed in live only until the call returns.
class XmlEventHandler {
public:
    virtual ~XmlEventHandler() = default;
    // qualifiedName exactly as written in the document: "dc:date", "item", "atom:link".
    // Namespaces are not resolved; attributes are not reported.
    virtual void startElement(std::string_view qualifiedName) = 0;
    // Character data in UTF-8, entities already replaced. CDATA sections arrive here like any
    // other text. One run of text may arrive in several calls.
    virtual void characters(std::string_view text) = 0;
    virtual void endElement(std::string_view qualifiedName) = 0;
};

struct XmlParseError {
    // Set when XmlEventParser::stop ended the run rather than a fault in the document.
    bool stoppedByHandler = false;
    int line = 0;  // 1-based line of the fault; 0 when unknown
    // libxml2's description of the first fatal fault, "Opening and ending tag mismatch: ...".
    // Empty only when the library gave none.
    std::string message;
};

// A streaming, event-driven reader of one XML document, over libxml2's SAX2 interface.
//
// What it reads: documents in UTF-8, UTF-16 (with a byte-order mark) and the legacy encodings
// that libxml2 knows from the XML declaration (ISO-8859-x, windows-1251, ...). White space
// before the XML declaration is skipped, also after a UTF-8 byte-order mark. HTML named entities
// that the document uses without declaring them (&nbsp;, &eacute;, &mdash;) read as their
// characters, since real feeds do this all the time; any other undefined entity is a fault.
//
// What it never does: network access, loading external entities or DTDs, or expanding
// entities past libxml2's amplification limits (a "billion laughs" document fails quickly).
// Nor does a document read as more than a download may bring (DownloadOptions::maxBytes):
// parse fails once the entity text read through references, or the characters delivered,
// pass that, so one large entity referenced many times fails quickly too.
//
// One parser reads one document once, on one thread; different parsers may run on different
// threads at the same time.
class XmlEventParser {
public:
    // document must stay alive and unchanged until parse returns.
    explicit XmlEventParser(std::string_view document);
    ~XmlEventParser();
    XmlEventParser(const XmlEventParser&) = delete;
    XmlEventParser& operator=(const XmlEventParser&) = delete;

    // Delivers the whole document to handler. Succeeds after a complete well-formed document;
    // fails at the first well-formedness fault (events before it have been delivered) or when
    // the handler called stop. Call once.
    std::expected<void, XmlParseError> parse(XmlEventHandler& handler);

    // From inside a handler call: no event is delivered after the one being handled, and
    // parse fails with stoppedByHandler.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pressling
