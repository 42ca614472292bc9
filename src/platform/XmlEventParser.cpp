#include "platform/XmlEventParser.h"

#include "platform/Download.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <fmt/format.h>

#include <algorithm>
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

// A document never reads as more text than a download may bring: a small document whose
// entities expand to gigabytes is refused once its expansion passes this, long before memory
// runs out. libxml2's own amplification check lets through one large entity referenced many
// times.
constexpr std::size_t kMaxExpandedBytes = DownloadOptions{}.maxBytes;

// HTML's named entities (&nbsp; &eacute; &mdash; ...), for documents that use them without
// declaring them. Made once per name and kept for the life of the process: at most the 253
// names of HTML 4, shared read-only by every parser. A predefined entity is handed to the
// application as plain characters, like &amp;, without entity expansion. The table is never
// destroyed, so a thread still parsing while the process exits finds it intact.
xmlEntityPtr htmlNamedEntity(const xmlChar* name) {
    const htmlEntityDesc* desc = htmlEntityLookup(name);
    if (desc == nullptr) return nullptr;

    static auto& mutex = *new std::mutex;
    static auto& made = *new std::unordered_map<std::string, xmlEntityPtr>;
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
    // Bytes delivered as characters, and bytes of entity text read by expanding references
    // (in content and in attribute values alike).
    std::size_t delivered = 0;
    std::size_t expanded = 0;
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
                               const xmlChar*, int, const xmlChar**, int, int, const xmlChar**) {
        auto& self = from(ctx);
        self.handler->startElement(self.qualify(localname, prefix));
    }

    static void onEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                             const xmlChar*) {
        auto& self = from(ctx);
        self.handler->endElement(self.qualify(localname, prefix));
    }

    // Ends the run at a fault of our own finding, which parse then reports.
    void fail(std::string message) {
        if (!firstFault) {
            firstFault = XmlParseError{false, xmlSAX2GetLineNumber(current), std::move(message)};
        }
        xmlStopParser(current);
        if (root != current) xmlStopParser(root);
    }

    static void onCharacters(void* ctx, const xmlChar* text, int length) {
        auto& self = from(ctx);
        self.delivered += size_t(length);
        if (self.delivered > kMaxExpandedBytes) {
            return self.fail(
                fmt::format("the document's text exceeds {} MB", kMaxExpandedBytes >> 20));
        }
        self.handler->characters({reinterpret_cast<const char*>(text), size_t(length)});
    }

    static xmlEntityPtr onGetEntity(void* ctx, const xmlChar* name) {
        xmlEntityPtr declared = xmlSAX2GetEntity(ctx, name);
        if (declared == nullptr) return htmlNamedEntity(name);
        auto& self = from(ctx);
        self.expanded += size_t(std::max(declared->length, 0));
        if (self.expanded > kMaxExpandedBytes) {
            self.fail(fmt::format("entity references expand to more than {} MB",
                                  kMaxExpandedBytes >> 20));
            return nullptr;
        }
        return declared;
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
    // common enough to forgive, also after a UTF-8 byte-order mark (the text stays UTF-8
    // without it).
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    constexpr std::string_view kWhiteSpace = " \t\r\n";
    if (document.starts_with(kUtf8Mark) && document.size() > kUtf8Mark.size() &&
        kWhiteSpace.find(document[kUtf8Mark.size()]) != std::string_view::npos) {
        document.remove_prefix(kUtf8Mark.size());
    }
    const auto start = document.find_first_not_of(kWhiteSpace);
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
    // A limit halts libxml2 without a fault of its own: the fault recorded comes first.
    if (impl.firstFault) return std::unexpected(*impl.firstFault);
    if (wellFormed) return {};
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
