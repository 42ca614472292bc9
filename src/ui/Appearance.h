#pragma once

#include <QPalette>

#include <string_view>

class QApplication;

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

// Puts application on the Fusion style with scheme's palette. Main thread, once at start.
void applyColorScheme(QApplication& application, ColorScheme scheme);

}  // namespace pressling::ui
