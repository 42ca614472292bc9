#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pressling {

// A URI reference in the sense of RFC 3986, kept exactly as written. Relative references (a
// bare "abc-123", "/path") are valid and stay unresolved: there is no base to resolve against.
// A plain value; any thread.
class Url {
public:
    // The text as a URL, or none when RFC 3986 says it is not a URI reference. The empty text
    // is none (it would be a valid empty reference, but an empty address names nothing); text
    // with a space, a raw non-ASCII character or a stray '%' is none.
    static std::optional<Url> parse(std::string_view text);

    // "file:///..." for an absolute POSIX path, its characters percent-encoded as needed.
    static Url fromFilePath(std::string_view absolutePath);

    // The URL as text, unchanged from what was parsed.
    const std::string& absoluteString() const { return text_; }

    // The scheme in lower case ("http"), or empty for a relative reference.
    const std::string& scheme() const { return scheme_; }

    bool isHttpOrHttps() const;

    friend bool operator==(const Url&, const Url&) = default;

private:
    Url(std::string text, std::string scheme)
        : text_(std::move(text)), scheme_(std::move(scheme)) {}
    std::string text_;
    std::string scheme_;
};

}  // namespace pressling
