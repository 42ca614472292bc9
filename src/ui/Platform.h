#pragma once

namespace pressling::ui {

// The kind of device the screens lay themselves out for. A phone gets one column, rows with a
// disclosure mark and the phone's toolbar; a tablet (every desktop, by default) the split view.
enum class UserInterfaceIdiom { phone, pad };

// The idiom of this process: pad unless setUserInterfaceIdiom said otherwise (the application
// does for --phone or a small screen). Main thread.
UserInterfaceIdiom userInterfaceIdiom();
void setUserInterfaceIdiom(UserInterfaceIdiom idiom);

inline bool isPhone() { return userInterfaceIdiom() == UserInterfaceIdiom::phone; }

}  // namespace pressling::ui
