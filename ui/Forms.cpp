#include "Forms.h"

#include "ButtonKeys.h"
#include "Fonts.h"
#include "Modality.h"
#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace qvn::ui {

void InitApplication(QApplication& app) {
    MapWindowFaces();
    SetMenuFonts();
    PressFocusedButtonsOnEnter(app);
    KeepModalsToTheirOwners(app);

    // The interface is Japanese whatever the locale, and so are Qt's own texts in it: the file
    // dialogs, the edits' context menus, the standard buttons. Without Qt's translation file
    // (Debian's qt6-translations-l10n) they stay English and nothing else changes. The Windows
    // build, with Qt linked in, carries the file in its resources instead.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qtTexts->load(QStringLiteral("qtbase_ja"), QStringLiteral(":/qt/translations")))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;

    app.setWindowIcon(QIcon(QStringLiteral(":/qvn/MAINICON.png")));
    // Lets the desktop match the windows to the installed quorvane.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
}

Forms CreateForms(TSetting& setting) {
    Forms f;
    f.frmMain = new TfrmMain(setting);
    f.frmTable = new TfrmTable(setting, f.frmMain);
    f.frmVer = new TfrmVer(f.frmMain);
    f.frmSetting = new TfrmSetting(setting, f.frmMain);
    f.frmMain->SetWindows(f.frmTable, f.frmVer, f.frmSetting);
    return f;
}

} // namespace qvn::ui
