#include "feedparse/RSSParser.h"

#include "feedparse/FeedDate.h"
#include "platform/UnicodeText.h"

namespace pressling {
namespace {

// The source name of entries whose feed has no title, or an empty one.
constexpr std::string_view kUntitledSource = "Web";

}  // namespace

std::expected<std::unique_ptr<RSSParser>, DownloadError> RSSParser::fromUrl(
    const Url& url, const DownloadOptions& options) {
    auto document = download(url.absoluteString(), options);
    if (!document) return std::unexpected(std::move(document.error()));
    return std::make_unique<RSSParser>(std::move(*document), url.absoluteString());
}

RSSParser::RSSParser(std::string document, std::string url)
    : document_(std::move(document)), url_(std::move(url)) {
    parser_.emplace(document_);
}

std::expected<std::vector<Article>, ParserError> RSSParser::parse() {
    auto outcome = parser_->parse(*this);
    if (!outcome) {
        // Entries read before the fault are not handed out: a broken document yields its
        // error, never a silent half-list.
        return std::unexpected(ParserError::fromXml(std::move(outcome.error())));
    }
    return articles_;
}

void RSSParser::startElement(std::string_view name) {
    foundCharacters_.clear();
    if (name == "item" || name == "entry") {
        for (auto& value : temp_) value.present = false;
        tempCount_ = 0;
        inEntry_ = true;
    }
}

void RSSParser::characters(std::string_view text) { foundCharacters_.append(text); }

void RSSParser::setTemp(RSSElement key, std::string_view text) {
    auto& slot = temp_[static_cast<std::size_t>(key)];
    if (!slot.present) ++tempCount_;
    slot.present = true;
    slot.text.assign(text);
}

void RSSParser::endElement(std::string_view name) {
    const auto element = rssElementNamed(name);
    if (!element) return;
    const std::string_view text = trimWhiteSpace(foundCharacters_);
    switch (*element) {
        case RSSElement::item:
        case RSSElement::entry:
            inEntry_ = false;
            finishEntry();
            break;
        // The first title and description of the document are the feed's. A feed without its
        // own takes its first entry's, and that entry keeps them too: it is an article like the
        // others, not the feed's label.
        case RSSElement::title:
            // "none", not "empty": an empty first title is still the feed's title.
            if (!title_) {
                title_.emplace(text);
                if (!inEntry_) break;
            }
            setTemp(RSSElement::title, text);
            break;
        case RSSElement::description:
        case RSSElement::subtitle:
            if (!desc_) {
                desc_.emplace(text);
                if (!inEntry_) break;
            }
            setTemp(*element, text);
            break;
        default:
            setTemp(*element, text);
            break;
    }
}

const std::string* RSSParser::firstValue(RSSElement k1, RSSElement k2, RSSElement k3) const {
    if (tempCount_ == 0) return nullptr;
    for (RSSElement key : {k1, k2, k3}) {
        // Present with empty text still counts: no fall-back to the next name.
        const auto& slot = temp_[static_cast<std::size_t>(key)];
        if (slot.present) return &slot.text;
    }
    return nullptr;
}

std::optional<Url> RSSParser::entryLink() const {
    if (tempCount_ == 0) return std::nullopt;
    for (RSSElement key : {RSSElement::link, RSSElement::id, RSSElement::guid}) {
        const auto& slot = temp_[static_cast<std::size_t>(key)];
        if (!slot.present) continue;
        if (auto url = Url::parse(slot.text)) return url;
    }
    return std::nullopt;
}

void RSSParser::finishEntry() {
    const std::string* dateText =
        firstValue(RSSElement::pubDate, RSSElement::updated, RSSElement::dcDate);
    if (checking && dateText != nullptr) {
        valid_ = parseFeedDate(*dateText).has_value();
        parser_->stop();
    }

    const auto& title = temp_[static_cast<std::size_t>(RSSElement::title)];
    if (tempCount_ == 0 || !title.present) return;
    const std::string* description =
        firstValue(RSSElement::description, RSSElement::summary, RSSElement::content);
    if (description == nullptr) return;
    auto link = entryLink();
    if (!link) return;
    if (dateText == nullptr) return;
    const auto date = parseFeedDate(*dateText);
    if (!date) return;

    const bool titled = title_ && !title_->empty();
    articles_.push_back(Article{
        .title = title.text,
        .description = *description,
        .web = titled ? *title_ : std::string(kUntitledSource),
        .blogLink = url_,
        .link = std::move(*link),
        .pubDate = *date,
    });
}

}  // namespace pressling
