#include "ui/Appearance.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace pressling::ui {
namespace {

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x1C, 0x1C, 0x1E), base(0x12, 0x12, 0x14), text(0xEB, 0xEB, 0xF0);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x2C, 0x2C, 0x2E));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x0A, 0x84, 0xFF));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Mid, QColor(0x3A, 0x3A, 0x3C));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8E, 0x8E, 0x93));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8E, 0x8E, 0x93));
    return palette;
}

QPalette lightPalette() {
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF7));
    palette.setColor(QPalette::Link, QColor(0x00, 0x7A, 0xFF));
    palette.setColor(QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    return palette;
}

}  // namespace

ColorScheme systemColorScheme(const QPalette& platformPalette, std::string_view gtkTheme) {
    // GTK_THEME is "name" or "name:variant"; the variant is what counts.
    if (const auto colon = gtkTheme.rfind(':'); colon != std::string_view::npos) {
        if (gtkTheme.substr(colon + 1) == "dark") return ColorScheme::dark;
    }
    // Text lighter than its window is the mark of a dark theme, whatever its hue.
    const QColor window = platformPalette.color(QPalette::Active, QPalette::Window);
    const QColor text = platformPalette.color(QPalette::Active, QPalette::WindowText);
    return window.lightness() < 128 && text.lightness() > window.lightness() ? ColorScheme::dark
                                                                             : ColorScheme::light;
}

QPalette palette(ColorScheme scheme) {
    return scheme == ColorScheme::dark ? darkPalette() : lightPalette();
}

void applyColorScheme(QApplication& application, ColorScheme scheme) {
    application.setStyle(QStyleFactory::create("Fusion"));
    application.setPalette(palette(scheme));
}

}  // namespace pressling::ui
