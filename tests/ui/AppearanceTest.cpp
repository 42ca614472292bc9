// Following the desktop's colour scheme when the user did not choose one.

#include "support/QtTestSupport.h"
#include "ui/Appearance.h"

#include <gtest/gtest.h>

namespace pressling::ui {
namespace {

QPalette withWindow(const QColor& window, const QColor& text) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

struct Desktop {
    const char* why;
    QColor window;
    QColor text;
    const char* gtkTheme;
    ColorScheme expected;
};

class SystemColorSchemeTest : public ::testing::TestWithParam<Desktop> {};

TEST_P(SystemColorSchemeTest, followsTheDesktop) {
    const Desktop& desktop = GetParam();
    EXPECT_EQ(systemColorScheme(withWindow(desktop.window, desktop.text), desktop.gtkTheme),
              desktop.expected)
        << desktop.why;
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SystemColorSchemeTest,
    ::testing::Values(
        Desktop{"Breeze light", QColor(0xEF, 0xF0, 0xF1), QColor(0x23, 0x26, 0x29), "",
                ColorScheme::light},
        Desktop{"Breeze dark", QColor(0x31, 0x36, 0x3B), QColor(0xEF, 0xF0, 0xF1), "",
                ColorScheme::dark},
        Desktop{"a light palette under GTK's dark variant", QColor(0xF6, 0xF5, 0xF4),
                QColor(0x2E, 0x34, 0x36), "Adwaita:dark", ColorScheme::dark},
        Desktop{"GTK's default variant", QColor(0xF6, 0xF5, 0xF4), QColor(0x2E, 0x34, 0x36),
                "Adwaita", ColorScheme::light},
        // A theme whose name says dark but whose variant is not.
        Desktop{"a theme named dark", QColor(0xF6, 0xF5, 0xF4), QColor(0x2E, 0x34, 0x36),
                "dark-ish:light", ColorScheme::light},
        // A dim window with dimmer text is a low-contrast light theme, not a dark one.
        Desktop{"dim window, darker text", QColor(0x70, 0x70, 0x70), QColor(0x10, 0x10, 0x10), "",
                ColorScheme::light}));

}  // namespace
}  // namespace pressling::ui
