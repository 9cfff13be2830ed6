#include "Forms.h"

#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

namespace qvn::ui {

void InitApplication(QApplication& app) {
    // The windows ask for the Japanese fonts of their original desktop. Map them to the IPA fonts
    // (Debian's fonts-ipafont-gothic) and then to other common Japanese fonts, so Japanese text
    // never falls back to a font without its glyphs.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                                QStringLiteral("TakaoPGothic"), QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {QStringLiteral("IPAGothic"),
                                QStringLiteral("Noto Sans Mono CJK JP"),
                                QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic"),
                                QStringLiteral("IPAexGothic"), QStringLiteral("IPAPGothic")});
    // The About box's name labels ask for Impact; a condensed sans keeps their heavy look.
    QFont::insertSubstitutions(QStringLiteral("Impact"), {QStringLiteral("DejaVu Sans Condensed"),
                                                          QStringLiteral("DejaVu Sans")});

    app.setWindowIcon(QIcon(QStringLiteral(":/qvn/MAINICON.png")));
    // Lets the desktop match the windows to the installed quorvane.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
}

Forms CreateForms() {
    Forms f;
    f.frmMain = new TfrmMain;
    f.frmTable = new TfrmTable(f.frmMain);
    f.frmVer = new TfrmVer(f.frmMain);
    f.frmSetting = new TfrmSetting(f.frmMain);
    f.frmMain->SetWindows(f.frmTable, f.frmVer, f.frmSetting);
    return f;
}

} // namespace qvn::ui
