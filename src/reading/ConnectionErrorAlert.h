#pragma once

#include <QtGlobal>

namespace pressling::reading {

// The "Error" alert that the article list shows when every feed failed and the article page
// shows when its page cannot be loaded: one text, one button. These are localisation keys.
inline constexpr const char* kErrorTitle = QT_TRANSLATE_NOOP("Pressling", "Error");
inline constexpr const char* kConnectionMessage = QT_TRANSLATE_NOOP(
    "Pressling",
    "Something was wrong while the sources were being loaded, check the Internet connection and "
    "try again.");
inline constexpr const char* kOkey = QT_TRANSLATE_NOOP("Pressling", "Okey");

}  // namespace pressling::reading
