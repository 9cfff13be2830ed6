#include "Fonts.h"

#include <QApplication>
#include <QWidget>

namespace qvn::ui {

void MapWindowFaces() {
#ifdef Q_OS_WIN
    // On Windows the faces are the system's own where Japanese is set up. Elsewhere the same fonts
    // go by their English names (with Windows' Japanese supplemental fonts), and Yu Gothic and
    // Meiryo come with every Windows 10 and 11.
    QFont::insertSubstitutions(FormFace(),
                               {QStringLiteral("MS PGothic"), QStringLiteral("Yu Gothic UI"),
                                QStringLiteral("Meiryo UI"), QStringLiteral("Meiryo")});
    QFont::insertSubstitutions(GridFace(),
                               {QStringLiteral("MS Gothic"), QStringLiteral("BIZ UDGothic"),
                                QStringLiteral("Yu Gothic"), QStringLiteral("Meiryo")});
#endif
    // The faces are those of the windows' original desktop. Map them to the IPA fonts (Debian's
    // fonts-ipafont-gothic) and then to other common Japanese fonts, so Japanese text never falls
    // back to a font without its glyphs.
    QFont::insertSubstitutions(FormFace(),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                                QStringLiteral("TakaoPGothic"), QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(
        GridFace(), {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                     QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic"),
                     QStringLiteral("IPAexGothic"), QStringLiteral("IPAPGothic")});
    // The About box's name labels ask for Impact; a condensed sans keeps their heavy look.
    QFont::insertSubstitutions(QStringLiteral("Impact"), {QStringLiteral("DejaVu Sans Condensed"),
                                                          QStringLiteral("DejaVu Sans")});
}

QFont PixelFont(const QString& family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

void SetFormFont(QWidget* window) {
    window->setFont(PixelFont(FormFace(), 12));
}

void SetMenuFonts() {
    for (const char* menus : {"QMenuBar", "QMenu"})
        QApplication::setFont(PixelFont(FormFace(), 12), menus);
}

} // namespace qvn::ui
