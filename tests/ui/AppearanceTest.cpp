// Following the desktop's colour scheme when the user did not choose one.

#include "support/QtTestSupport.h"
#include "ui/Appearance.h"

#include <tuple>

namespace pressling::ui {
namespace {

TEST(SystemColorSchemeTest, followsTheDesktop) {
    using enum ColorScheme;
    for (const auto& [why, window, text, gtkTheme, expected] : {
             std::tuple{"Breeze light", 0xEFF0F1u, 0x232629u, "", light},
             std::tuple{"Breeze dark", 0x31363Bu, 0xEFF0F1u, "", dark},
             std::tuple{"GTK's dark variant, light palette", 0xF6F5F4u, 0x2E3436u, "Adwaita:dark",
                        dark},
             std::tuple{"a theme named dark, light variant", 0xF6F5F4u, 0x2E3436u, "dark:light",
                        light},
             std::tuple{"dim window, dimmer text: low contrast", 0x707070u, 0x101010u, "", light},
         }) {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(window));
        palette.setColor(QPalette::WindowText, QColor(text));
        EXPECT_EQ(systemColorScheme(palette, gtkTheme), expected) << why;
    }
}

}  // namespace
}  // namespace pressling::ui
