#include "ui/Appearance.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace pressling::ui {
namespace {

constexpr char kDestructiveProperty[] = "destructive";

class ApplicationStyle final : public QProxyStyle {
public:
    ApplicationStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto* menu = qobject_cast<const QMenu*>(widget);
        // The menu paints each item in its own coordinates: the item's centre names its action.
        const QAction* action =
            element == CE_MenuItem && item && menu ? menu->actionAt(item->rect.center()) : nullptr;
        if (action == nullptr || !isDestructive(*action)) {
            return QProxyStyle::drawControl(element, option, painter, widget);
        }
        QStyleOptionMenuItem red(*item);
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
                red.palette.setColor(group, role, systemRed());
        QProxyStyle::drawControl(element, &red, painter, widget);
    }
};

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

QColor systemRed() { return {0xFF, 0x3B, 0x30}; }

std::unique_ptr<QStyle> makeApplicationStyle() { return std::make_unique<ApplicationStyle>(); }

void setDestructive(QAction& action) { action.setProperty(kDestructiveProperty, true); }

bool isDestructive(const QAction& action) { return action.property(kDestructiveProperty).toBool(); }

void applyColorScheme(QApplication& application, ColorScheme scheme) {
    application.setStyle(makeApplicationStyle().release());  // the application takes it
    application.setPalette(palette(scheme));
}

}  // namespace pressling::ui
