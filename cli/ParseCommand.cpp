#include "ParseCommand.h"

#include "Json.h"

#include "feedparse/RSSParser.h"
#include "platform/Date.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace pressling::cli {
namespace {

Json optionalText(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

int fail(std::string_view message) {
    printJson(Json{{"error", message}});
    return 1;
}

std::expected<std::string, std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::unexpected("cannot read " + path.string() + ": " + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::unexpected("cannot read " + path.string());
    return std::move(bytes).str();
}

// The parser for SOURCE: downloaded when it is an http(s) URL, read from disk otherwise.
std::expected<std::unique_ptr<RSSParser>, std::string> openSource(const ParseOptions& args) {
    const auto url = Url::parse(args.source);
    if (url && url->isHttpOrHttps()) {
        if (!args.url) {
            auto parser = RSSParser::fromUrl(*url);
            if (!parser) return std::unexpected(parser.error().message);
            return std::move(*parser);
        }
        auto document = download(url->absoluteString());
        if (!document) return std::unexpected(document.error().message);
        return std::make_unique<RSSParser>(std::move(*document), *args.url);
    }
    if (url && args.source.find("://") != std::string::npos) {
        return std::unexpected("cannot download " + args.source +
                               ": only http and https addresses are supported");
    }
    std::error_code error;
    const auto path = std::filesystem::absolute(args.source, error);
    if (error) return std::unexpected("cannot read " + args.source + ": " + error.message());
    auto document = readFile(path);
    if (!document) return std::unexpected(document.error());
    return std::make_unique<RSSParser>(
        std::move(*document), args.url.value_or(Url::fromFilePath(path.string()).absoluteString()));
}

Json articleJson(const Article& article) {
    return Json{
        {"title", article.title},
        {"description", article.description},
        {"web", article.web},
        {"blogLink", article.blogLink},
        {"link", article.link.absoluteString()},
        {"pubDate", toIso8601Utc(article.pubDate)},
    };
}

}  // namespace

int runParseCommand(const ParseOptions& options) {
    auto parser = openSource(options);
    if (!parser) return fail(parser.error());
    RSSParser& rss = **parser;

    if (options.check) {
        rss.checking = true;
        (void)rss.parse();  // a check ends in a stop; only its verdict counts
        printJson(Json{{"valid", rss.valid()},
                       {"title", optionalText(rss.title())},
                       {"description", optionalText(rss.desc())}});
        return 0;
    }

    const auto articles = rss.parse();
    if (!articles) return fail(articles.error().message());
    Json list = Json::array();
    for (const Article& article : *articles) list.push_back(articleJson(article));
    printJson(Json{
        {"feed", {{"title", optionalText(rss.title())}, {"description", optionalText(rss.desc())}}},
        {"articles", std::move(list)}});
    return 0;
}

}  // namespace pressling::cli
