// Following the desktop's colour scheme when the user did not choose one.

#include "support/QtTestSupport.h"
#include "ui/Appearance.h"

#include <gtest/gtest.h>

namespace pressling::ui {
namespace {

TEST(SystemColorSchemeTest, followsTheDesktop) {
    const struct {
        const char* why;
        QRgb window, text;
        const char* gtkTheme;
        ColorScheme expected;
    } rows[] = {
        {"Breeze light", 0xEFF0F1, 0x232629, "", ColorScheme::light},
        {"Breeze dark", 0x31363B, 0xEFF0F1, "", ColorScheme::dark},
        {"GTK's dark variant on a light palette", 0xF6F5F4, 0x2E3436, "Adwaita:dark",
         ColorScheme::dark},
        {"a theme named dark, light variant", 0xF6F5F4, 0x2E3436, "dark:light", ColorScheme::light},
        {"dim window, dimmer text: low contrast", 0x707070, 0x101010, "", ColorScheme::light},
    };
    for (const auto& row : rows) {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(row.window));
        palette.setColor(QPalette::WindowText, QColor(row.text));
        EXPECT_EQ(systemColorScheme(palette, row.gtkTheme), row.expected) << row.why;
    }
}

}  // namespace
}  // namespace pressling::ui
