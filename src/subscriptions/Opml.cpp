#include "subscriptions/Opml.h"

#include "platform/Download.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <fmt/format.h>

#include <algorithm>
#include <memory>

namespace pressling {
namespace {

std::string property(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool named(xmlNodePtr node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

void collect(xmlNodePtr parent, std::vector<OpmlFeed>& feeds) {
    for (xmlNodePtr node = parent->children; node != nullptr; node = node->next) {
        if (!named(node, "outline")) continue;
        if (std::string url = property(node, "xmlUrl"); !url.empty()) {
            std::string title = property(node, "title");
            if (title.empty()) title = property(node, "text");
            feeds.push_back({std::move(title), std::move(url)});
        }
        collect(node, feeds);
    }
}

// Text for an attribute value in double quotes.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                // Other control characters cannot appear in XML 1.0 at all.
                if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
    return out;
}

// A list never reads as more text than a download may bring. libxml2's own amplification
// check lets through one large entity referenced many times, and every reference in an
// attribute is expanded again when the attribute is read: the entity text read through
// references is counted as they are parsed, and the document refused once it passes this.
constexpr std::size_t kMaxExpandedBytes = DownloadOptions{}.maxBytes;

struct Expansion {
    xmlParserCtxtPtr root = nullptr;
    std::size_t bytes = 0;
    int lineExceeded = 0;  // set when the document passed the limit
};

xmlEntityPtr countedEntity(void* ctx, const xmlChar* name) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto& expansion = *static_cast<Expansion*>(ctxt->_private);
    xmlEntityPtr entity = xmlSAX2GetEntity(ctx, name);
    if (entity == nullptr || expansion.lineExceeded > 0) return entity;
    expansion.bytes += std::size_t(std::max(entity->length, 0));
    if (expansion.bytes <= kMaxExpandedBytes) return entity;
    expansion.lineExceeded = std::max(xmlSAX2GetLineNumber(ctxt), 1);
    xmlStopParser(ctxt);
    if (ctxt != expansion.root) xmlStopParser(expansion.root);
    return nullptr;
}

}  // namespace

std::expected<std::vector<OpmlFeed>, std::string> readOpml(std::string_view document) {
    if (document.empty()) return std::unexpected("not an XML document: it is empty");
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(
        xmlCreateMemoryParserCtxt(document.data(), int(document.size())), xmlFreeParserCtxt);
    if (!context) return std::unexpected("out of memory");
    Expansion expansion{.root = context.get()};
    context->_private = &expansion;
    context->sax->getEntity = countedEntity;
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseDocument(context.get());
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(context->myDoc, xmlFreeDoc);
    context->myDoc = nullptr;
    if (expansion.lineExceeded > 0) {
        return std::unexpected(fmt::format("line {}: entity references expand to more than {} MB",
                                           expansion.lineExceeded, kMaxExpandedBytes >> 20));
    }
    if (!doc || !context->wellFormed) {
        const xmlError& error = context->lastError;
        std::string message = error.message ? error.message : "not an XML document";
        while (!message.empty() && message.back() == '\n') message.pop_back();
        return std::unexpected(error.line > 0 ? fmt::format("line {}: {}", error.line, message)
                                              : message);
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || !named(root, "opml")) {
        return std::unexpected("not an OPML document: its root element is not <opml>");
    }
    std::vector<OpmlFeed> feeds;
    for (xmlNodePtr node = root->children; node != nullptr; node = node->next) {
        if (named(node, "body")) collect(node, feeds);
    }
    return feeds;
}

std::string writeOpml(const std::vector<Web>& webs) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<opml version=\"2.0\">\n"
        "  <head>\n"
        "    <title>Pressling subscriptions</title>\n"
        "  </head>\n"
        "  <body>\n";
    for (const Web& web : webs) {
        const std::string title = escaped(web.title);
        out +=
            fmt::format("    <outline type=\"rss\" text=\"{0}\" title=\"{0}\" xmlUrl=\"{1}\"/>\n",
                        title, escaped(web.url));
    }
    out += "  </body>\n</opml>\n";
    return out;
}

}  // namespace pressling
