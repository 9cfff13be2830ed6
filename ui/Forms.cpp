#include "Forms.h"

#include "ButtonKeys.h"
#include "Fonts.h"
#include "Modality.h"
#include "ToolTips.h"
#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace qvn::ui {
namespace {

// The words Qt's file dialog shows for kinds of files that Qt 6 asks for in a context of its own,
// which Qt's Japanese translation lacks: the type column would say "Folder" among Japanese words.
class FileKindTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const struct {
            const char* source;
            const char* text;
        } kTexts[] = {
            {"Folder", "フォルダー"},   {"File Folder", "ファイル フォルダー"},
            {"Drive", "ドライブ"},      {"File", "ファイル"},
            {"%1 File", "%1 ファイル"}, {"Shortcut", "ショートカット"},
            {"Alias", "エイリアス"},
        };
        for (const auto& t : kTexts) {
            if (qstrcmp(source, t.source) == 0)
                return QString::fromUtf8(t.text);
        }
        return {};
    }

    bool isEmpty() const override { return false; }
};

} // namespace

void InitApplication(QApplication& app) {
    MapWindowFaces();
    SetMenuFonts();
    PressFocusedButtonsOnEnter(app);
    KeepModalsToTheirOwners(app);
    HideToolTipsOnResize(app);

    // The interface is Japanese whatever the locale, and so are Qt's own texts in it: the file
    // dialogs, the edits' context menus, the standard buttons. Without Qt's translation file
    // (Debian's qt6-translations-l10n) they stay English and nothing else changes. The Windows
    // build, with Qt linked in, carries the file in its resources instead.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        qtTexts->load(QStringLiteral("qtbase_ja"), QStringLiteral(":/qt/translations"))) {
        QCoreApplication::installTranslator(qtTexts);
        QCoreApplication::installTranslator(new FileKindTexts(&app));
    } else {
        delete qtTexts;
    }

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
