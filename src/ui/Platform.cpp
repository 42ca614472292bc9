#include "ui/Platform.h"

namespace pressling::ui {
namespace {

UserInterfaceIdiom gIdiom = UserInterfaceIdiom::pad;

}  // namespace

UserInterfaceIdiom userInterfaceIdiom() { return gIdiom; }
void setUserInterfaceIdiom(UserInterfaceIdiom idiom) { gIdiom = idiom; }

}  // namespace pressling::ui
