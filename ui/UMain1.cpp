#include "UMain1.h"

#include "AppInfo.h"
#include "Check.h"
#include "Errors.h"
#include "FileDrop.h"
#include "FindingsDialog.h"
#include "Fonts.h"
#include "Guard.h"
#include "MessageBoxes.h"
#include "PageBuild.h"
#include "Text.h"
#include "UDec.h"
#include "UHelp.h"
#include "UList.h"
#include "USetting.h"
#include "UVersion.h"
#include "ui_UMain1.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace qvn;
using namespace qvn::ui;

namespace {

const QString kHtmlFilter = QStringLiteral("HTML 形式 (*.html *.htm)");

// A failure of the help command, worded like the core's file messages, the path with the
// system's own separators.
Error HelpError(const QString& path, const QString& ending) {
    return Error((QStringLiteral("ヘルプファイル ") + QDir::toNativeSeparators(path) + ending)
                     .toStdString());
}

// The tokens as the check names them in the windows: as the settings dialog does.
check::TokenNames FieldTokenNames() {
    check::TokenNames names;
    for (std::size_t k = 0; k < kLinkFields; ++k)
        names[k] = QuotedField(k) + "の置換文字列";
    return names;
}

// Why the builder could not cut the template, as the check explains it: its errors about the
// template, each with its notes (the lines that were almost the missing marker).
QString CutExplanation(const Findings& findings) {
    QStringList lines;
    for (const Finding& finding : findings.list) {
        if (finding.severity == Severity::Error)
            lines << FindingLines(finding);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TfrmMain::TfrmMain(TSetting& setting, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TfrmMain>()), setting_(setting),
      odFile({kHtmlFilter, /*mustExist=*/false, /*save=*/false}),
      sdFile({kHtmlFilter, /*mustExist=*/false, /*save=*/true}) {
    ui->setupUi(this);
    setWindowTitle(AppTitle());

    SetFormFont(this);

    // The client area is Panel1 (386 x 65) under the menu bar; Panel1 is the central widget, so
    // it follows the window's size while the controls on it keep their places.
    move(203, 186);
    resize(386, 65 + ui->menuMain->sizeHint().height());
    ui->btnRefer->setFocus();

    ConnectGuarded(ui->btnRefer, &QPushButton::clicked, this, &TfrmMain::btnReferClick);
    ConnectGuarded(ui->Button1, &QPushButton::clicked, this, &TfrmMain::Button1Click);
    ConnectGuarded(ui->Button2, &QPushButton::clicked, this, &TfrmMain::Button2Click);
    ConnectGuarded(ui->File1, &QAction::triggered, this, &TfrmMain::File1Click);
    ConnectGuarded(ui->Help2, &QAction::triggered, this, &TfrmMain::Help2Click);
    ConnectGuarded(ui->About1, &QAction::triggered, this, &TfrmMain::About1Click);
    ConnectGuarded(ui->Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);

    AppInit();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::SetWindows(TfrmTable* frmTable, TfrmVer* frmVer, TfrmSetting* frmSetting) {
    frmTable_ = frmTable;
    frmVer_ = frmVer;
    frmSetting_ = frmSetting;
}

void TfrmMain::AppInit() {
    new FileDropTarget(this, ui->edPath); // owned by the window
    setting_.SetTokens(DefaultTokens());
}

void TfrmMain::btnReferClick() {
    if (const auto chosen = odFile.Execute(this))
        ui->edPath->setText(*chosen);
}

void TfrmMain::Button1Click() {
    if (frmTable_)
        frmTable_->exec();
}

// "編集/出力": the template is read and cut before the save dialog opens, so a missing template or
// marker is reported at once and no file name is asked for in vain; a template that cannot be cut
// is explained by the check. The check of both inputs then runs as qvn-build --check runs it, and
// when it finds anything the user sees the findings and may stop. The page then goes straight into
// its file as it is built, never into the link data file or the template.
void TfrmMain::Button2Click() {
    setting_.TemplatePath = ui->edPath->text().toStdString();
    const TLinkTable& links = setting_.Links();
    PageBuild build(links, setting_.LinkListFile, FilePath::FromNative(setting_.TemplatePath),
                    setting_.GetTokens());
    if (!build.CanBuild())
        throw ExplainedError(build.Template().CutFailure(),
                             CutExplanation(build.CheckTemplate(FieldTokenNames())));
    if (const Findings findings = build.Check(FieldTokenNames());
        findings.counts.Total() > 0 && !ConfirmFindings(this, findings))
        return; // stopped: nothing saved, nothing shown

    const auto chosen = sdFile.Execute(this);
    if (!chosen)
        return; // cancelled: nothing saved, nothing shown
    build.Save(PathFromText(*chosen));
    ShowPlainMessage(this, QStringLiteral("正常に保存されました"));
}

void TfrmMain::File1Click() {
    if (frmSetting_)
        frmSetting_->exec();
}

// The help page in the program's own window: it shows wherever the program runs, with or without
// a browser, and every failure to show it is reported.
void TfrmMain::Help2Click() {
    if (!QFileInfo(helpFile_).isFile())
        throw HelpError(helpFile_, QStringLiteral(" が見つかりません"));
    if (!frmHelp_)
        frmHelp_ = std::make_unique<TfrmHelp>();
    if (!frmHelp_->ShowPage(helpFile_))
        throw HelpError(helpFile_, QStringLiteral(" を開けません"));
}

void TfrmMain::About1Click() {
    if (frmVer_)
        frmVer_->exec();
}

void TfrmMain::Exit1Click() {
    close();
}
