#include "subscriptions/Opml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <fmt/format.h>

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
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += "&#9;"; break;
            default:
                // Other control characters cannot appear in XML 1.0 at all.
                if (static_cast<unsigned char>(c) >= 0x20) out += c;
        }
    }
    return out;
}

}  // namespace

std::expected<std::vector<OpmlFeed>, std::string> readOpml(std::string_view document) {
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> context(xmlNewParserCtxt(),
                                                                       xmlFreeParserCtxt);
    if (!context) return std::unexpected("out of memory");
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        xmlCtxtReadMemory(context.get(), document.data(), int(document.size()), nullptr, nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
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
        out += fmt::format("    <outline type=\"rss\" text=\"{0}\" title=\"{0}\" xmlUrl=\"{1}\"/>\n",
                           title, escaped(web.url));
    }
    out += "  </body>\n</opml>\n";
    return out;
}

}  // namespace pressling
