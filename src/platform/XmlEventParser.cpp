#include "platform/XmlEventParser.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace pressling {
namespace {

std::string_view view(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

// Nothing outside the document is ever read, whatever the document declares.
xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void initialiseLibxml2() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
    });
}

// HTML's named entities (&nbsp; &eacute; &mdash; ...), for documents that use them without
// declaring them. Made once per name and kept for the life of the process: at most the 253
// names of HTML 4, shared read-only by every parser. A predefined entity is handed to the
// application as plain characters, like &amp;, without entity expansion.
xmlEntityPtr htmlNamedEntity(const xmlChar* name) {
    const htmlEntityDesc* desc = htmlEntityLookup(name);
    if (desc == nullptr) return nullptr;

    static std::mutex mutex;
    static std::unordered_map<std::string, xmlEntityPtr> made;
    std::lock_guard lock(mutex);
    auto [it, inserted] = made.try_emplace(std::string(view(name)), nullptr);
    if (inserted) {
        xmlChar utf8[8] = {};
        xmlCopyCharMultiByte(utf8, int(desc->value));
        it->second =
            xmlNewEntity(nullptr, name, XML_INTERNAL_PREDEFINED_ENTITY, nullptr, nullptr, utf8);
    }
    return it->second;
}

}  // namespace

struct XmlEventParser::Impl {
    std::string_view document;
    XmlEventHandler* handler = nullptr;
    // The context currently delivering events: the document's own, or a nested one while an
    // entity declared in the document is being expanded.
    xmlParserCtxtPtr current = nullptr;
    xmlParserCtxtPtr root = nullptr;
    bool stopped = false;
    bool parsed = false;
    std::optional<XmlParseError> firstFault;
    // Qualified names with a prefix are assembled here, so "dc:date" costs no allocation.
    std::string qualifiedName;

    static Impl& from(void* ctx) {
        auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
        auto& self = *static_cast<Impl*>(ctxt->_private);
        self.current = ctxt;
        return self;
    }

    std::string_view qualify(const xmlChar* localname, const xmlChar* prefix) {
        if (prefix == nullptr) return view(localname);
        qualifiedName.assign(view(prefix));
        qualifiedName.push_back(':');
        qualifiedName.append(view(localname));
        return qualifiedName;
    }

    static void onStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                               const xmlChar*, int, const xmlChar**, int, int,
                               const xmlChar**) {
        auto& self = from(ctx);
        self.handler->startElement(self.qualify(localname, prefix));
    }

    static void onEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                             const xmlChar*) {
        auto& self = from(ctx);
        self.handler->endElement(self.qualify(localname, prefix));
    }

    static void onCharacters(void* ctx, const xmlChar* text, int length) {
        auto& self = from(ctx);
        self.handler->characters({reinterpret_cast<const char*>(text), size_t(length)});
    }

    static xmlEntityPtr onGetEntity(void* ctx, const xmlChar* name) {
        if (xmlEntityPtr declared = xmlSAX2GetEntity(ctx, name)) return declared;
        return htmlNamedEntity(name);
    }

    static void onError(void* ctx, xmlErrorPtr error) {
        if (error == nullptr || error->level != XML_ERR_FATAL) return;
        auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
        auto& self = *static_cast<Impl*>(ctxt->_private);
        if (self.firstFault) return;
        std::string message = error->message ? error->message : "";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        self.firstFault = XmlParseError{false, error->line, std::move(message)};
    }
};

XmlEventParser::XmlEventParser(std::string_view document) : impl_(std::make_unique<Impl>()) {
    // The XML declaration must open the document; servers that print a blank line first are
    // common enough to forgive.
    const auto start = document.find_first_not_of(" \t\r\n");
    impl_->document = document.substr(start == std::string_view::npos ? document.size() : start);
}

XmlEventParser::~XmlEventParser() = default;

std::expected<void, XmlParseError> XmlEventParser::parse(XmlEventHandler& handler) {
    initialiseLibxml2();
    Impl& impl = *impl_;
    if (impl.parsed) return std::unexpected(XmlParseError{false, 0, "document already parsed"});
    impl.parsed = true;
    if (impl.document.empty()) return std::unexpected(XmlParseError{false, 1, "Document is empty"});

    xmlParserCtxtPtr ctxt =
        xmlCreateMemoryParserCtxt(impl.document.data(), int(impl.document.size()));
    if (ctxt == nullptr) return std::unexpected(XmlParseError{false, 0, "out of memory"});
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> owner(ctxt, xmlFreeParserCtxt);

    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &Impl::onStartElement;
    sax.endElementNs = &Impl::onEndElement;
    sax.characters = &Impl::onCharacters;
    sax.ignorableWhitespace = &Impl::onCharacters;
    sax.cdataBlock = &Impl::onCharacters;
    sax.getEntity = &Impl::onGetEntity;
    sax.serror = &Impl::onError;
    // Entities the document declares in its internal subset are kept in a scratch document
    // that libxml2 builds for them; nothing else of the document is built.
    sax.startDocument = xmlSAX2StartDocument;
    sax.internalSubset = xmlSAX2InternalSubset;
    sax.entityDecl = xmlSAX2EntityDecl;
    *ctxt->sax = sax;
    ctxt->_private = &impl;
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET);

    impl.handler = &handler;
    impl.root = ctxt;
    impl.current = ctxt;
    const int status = xmlParseDocument(ctxt);
    const bool wellFormed = status == 0 && ctxt->wellFormed;
    if (ctxt->myDoc != nullptr) {
        xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
    }
    impl.handler = nullptr;
    impl.current = nullptr;
    impl.root = nullptr;

    if (impl.stopped) {
        return std::unexpected(XmlParseError{true, 0, "parsing stopped by its handler"});
    }
    if (wellFormed) return {};
    if (impl.firstFault) return std::unexpected(*impl.firstFault);
    return std::unexpected(XmlParseError{});
}

void XmlEventParser::stop() {
    Impl& impl = *impl_;
    if (impl.current == nullptr) return;
    impl.stopped = true;
    xmlStopParser(impl.current);
    if (impl.root != impl.current) xmlStopParser(impl.root);
}

}  // namespace pressling
