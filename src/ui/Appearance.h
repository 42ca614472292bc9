#pragma once

#include <QPalette>

#include <memory>
#include <string_view>

class QAction;
class QApplication;
class QStyle;

namespace pressling::ui {

// The application's two looks, on Qt's Fusion style: a light one on white lists and a dark one
// near black, both with the same blue for links, selection and the new-article dot.
enum class ColorScheme { light, dark };

// What the desktop asks for, read once at start. Dark when gtkTheme (the GTK_THEME variable,
// empty when unset) names a dark variant such as "Adwaita:dark", or when the palette the
// platform's theme gives (GNOME and KDE hand over their colours) has a dark window; light
// otherwise, which is also what a platform without a theme gives (offscreen, a bare X server).
// Qt 6.4 does not report the desktop's colour scheme itself, nor when it changes.
ColorScheme systemColorScheme(const QPalette& platformPalette, std::string_view gtkTheme);

QPalette palette(ColorScheme scheme);

// The red of what removes or discards, and of failures: the same in both schemes.
QColor systemRed();

// The application's style: Fusion, with the menu items of destructive actions in systemRed()
// (their highlighted and disabled looks are left as Fusion draws them).
std::unique_ptr<QStyle> makeApplicationStyle();

// Marks action as destructive (a removal, or the choice that takes something away), for the
// application's style to draw it so.
void setDestructive(QAction& action);
bool isDestructive(const QAction& action);

// Puts application on the application's style with scheme's palette. Main thread, once at start.
void applyColorScheme(QApplication& application, ColorScheme scheme);

}  // namespace pressling::ui
