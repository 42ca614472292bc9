#pragma once

#include "platform/Url.h"

#include <optional>
#include <string>

namespace pressling {

// The general pasteboard: what a copy leaves for the next paste, here or in another program.
// The core only says what to put on it; the screens install the desktop's clipboard behind it.
// Main thread, like the clipboard it stands for.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Replaces the pasteboard's contents, in one step, with url as a URL (text/uri-list) and
    // string as plain text; an absent one is not offered. Both absent leaves the pasteboard
    // empty.
    virtual void setContents(const std::optional<Url>& url,
                             const std::optional<std::string>& string) = 0;
};

// The pasteboard installed by installGeneralPasteboard; null in a program without a desktop.
Pasteboard* generalPasteboard();
// Makes pasteboard (not owned; it must outlive its installation) the general one; null removes
// it.
void installGeneralPasteboard(Pasteboard* pasteboard);

}  // namespace pressling
