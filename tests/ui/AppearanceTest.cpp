// Following the desktop's colour scheme when the user did not choose one; destructive actions.

#include "support/QtTestSupport.h"
#include "ui/Appearance.h"

#include <QStyle>

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

// Counted per item: the pixels far redder than grey, the text's and its edges'.
TEST(ApplicationStyleTest, drawsTheMenuItemsOfDestructiveActionsRed) {
    const std::unique_ptr<QStyle> style = makeApplicationStyle();
    QMenu menu;
    menu.setStyle(style.get());
    QAction* keep = menu.addAction("Keep every feed");
    QAction* remove = menu.addAction("Delete every feed");
    setDestructive(*remove);
    const QImage image = menu.grab().toImage();
    const auto redPixels = [&](QAction* action) {
        int red = 0;
        const QRect item = menu.actionGeometry(action);
        for (int y = item.top(); y <= item.bottom(); ++y)
            for (int x = item.left(); x <= item.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                red += pixel.red() - std::max(pixel.green(), pixel.blue()) > 100;
            }
        return red;
    };
    EXPECT_GT(redPixels(remove), 20);
    EXPECT_EQ(redPixels(keep), 0);
}

}  // namespace
}  // namespace pressling::ui
