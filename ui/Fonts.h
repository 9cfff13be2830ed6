// The windows' fonts: the Japanese faces their forms name, mapped to fonts this system has, and
// set up at a height in pixels.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace qvn::ui {

// The proportional face of every window and the fixed-pitch face of the link list grid.
inline QString FormFace() {
    return QStringLiteral("ＭＳ Ｐゴシック");
}
inline QString GridFace() {
    return QStringLiteral("ＭＳ ゴシック");
}

// Maps the faces the windows ask for to fonts of this system; once, before any window exists.
void MapWindowFaces();

// family, pixels high whatever the screen's resolution (a form file can only hold a point size).
QFont PixelFont(const QString& family, int pixels);

// A window's own font: FormFace, 12 pixels high. Its controls take it unless they set their own.
void SetFormFont(QWidget* window);

// Menu bars and their menus in the windows' font: they otherwise take the desktop theme's menu
// font, which may lack Japanese and fall back to a spaced, fixed-pitch face. Once, before any
// window exists.
void SetMenuFonts();

} // namespace qvn::ui
