#include "ParseCommand.h"

#include "Usage.h"

#include "feedparse/RSSParser.h"
#include "platform/Date.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace pressling::cli {
namespace {

using Json = nlohmann::ordered_json;

struct ParseArguments {
    bool check = false;
    std::optional<std::string> url;
    std::string source;
};

std::expected<ParseArguments, std::string> readArguments(std::span<const std::string_view> args) {
    ParseArguments parsed;
    bool haveSource = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--check") {
            parsed.check = true;
        } else if (arg == "--url" || arg.starts_with("--url=")) {
            std::string_view value;
            if (arg == "--url") {
                if (i + 1 == args.size()) return std::unexpected("--url needs a URL");
                value = args[++i];
            } else {
                value = arg.substr(6);
            }
            if (!Url::parse(value))
                return std::unexpected("--url: not a URL: " + std::string(value));
            parsed.url = std::string(value);
        } else if (arg.starts_with("--") && arg.size() > 2) {
            return std::unexpected("unknown option " + std::string(arg));
        } else if (haveSource) {
            return std::unexpected("more than one SOURCE");
        } else {
            parsed.source = std::string(arg);
            haveSource = true;
        }
    }
    if (!haveSource || parsed.source.empty()) return std::unexpected("missing SOURCE");
    return parsed;
}

Json optionalText(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

void print(const Json& json) {
    // Feed text reaches us as UTF-8 from the XML parser; replace rather than fail on anything
    // that is not.
    std::cout << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

int fail(std::string_view message) {
    print(Json{{"error", message}});
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
std::expected<std::unique_ptr<RSSParser>, std::string> openSource(const ParseArguments& args) {
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

int runParseCommand(std::span<const std::string_view> arguments) {
    const auto args = readArguments(arguments);
    if (!args) return usageError(args.error(), kParseUsage);

    auto parser = openSource(*args);
    if (!parser) return fail(parser.error());
    RSSParser& rss = **parser;

    if (args->check) {
        rss.checking = true;
        (void)rss.parse();  // a check ends in a stop; only its verdict counts
        print(Json{{"valid", rss.valid()},
                   {"title", optionalText(rss.title())},
                   {"description", optionalText(rss.desc())}});
        return 0;
    }

    const auto articles = rss.parse();
    if (!articles) return fail(articles.error().message());
    Json list = Json::array();
    for (const Article& article : *articles) list.push_back(articleJson(article));
    print(Json{
        {"feed", {{"title", optionalText(rss.title())}, {"description", optionalText(rss.desc())}}},
        {"articles", std::move(list)}});
    return 0;
}

}  // namespace pressling::cli
