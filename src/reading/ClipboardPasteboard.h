#pragma once

#include "readinglist/Pasteboard.h"

namespace pressling::reading {

// The general pasteboard on the desktop's clipboard: a URL goes on it as text/uri-list, encoded
// as stored (never in its decoded display form), and the text as text/plain. Main thread.
class ClipboardPasteboard final : public Pasteboard {
public:
    void setContents(const std::optional<Url>& url,
                     const std::optional<std::string>& string) override;

    // Makes the clipboard the general pasteboard of the process (once; later calls do nothing).
    static void install();
};

}  // namespace pressling::reading
