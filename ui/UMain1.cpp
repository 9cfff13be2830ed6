#include "UMain1.h"

#include "AppInfo.h"
#include "Errors.h"
#include "FileDrop.h"
#include "Fonts.h"
#include "Guard.h"
#include "MessageBoxes.h"
#include "Text.h"
#include "UDec.h"
#include "UHelp.h"
#include "UList.h"
#include "UProccess.h"
#include "USetting.h"
#include "UVersion.h"
#include "ui_UMain1.h"

#include <QFileInfo>

using namespace qvn;
using namespace qvn::ui;

namespace {

const QString kHtmlFilter = QStringLiteral("HTML 形式 (*.html *.htm)");

// A failure of the help command, worded like the core's file messages.
Error HelpError(const QString& path, const QString& ending) {
    return Error(ToCp932(QStringLiteral("ヘルプファイル ") + path + ending));
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TfrmMain>()),
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
    Setting.SetTokens(DefaultTokens());
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
// marker is reported at once and no file name is asked for in vain. The page then goes straight
// into its file as it is built.
void TfrmMain::Button2Click() {
    const QString pathText = ui->edPath->text();
    Setting.TemplatePath = ToCp932(pathText); // as typed: no trimming, no check
    const TLinkTable& linkList = Setting.Links();
    // Read through PathFromText: a text with no exact code page 932 form names no file, so it
    // fails with the open message naming the bytes Setting.TemplatePath holds.
    const TPageTemplate page(PathFromText(pathText));

    const auto chosen = sdFile.Execute(this);
    if (!chosen)
        return; // cancelled: nothing saved, nothing shown
    TableLinks links(linkList);
    SavePage(page, links, Setting.GetTokens(), PathFromText(*chosen));
    ShowPlainMessage(this, ToCp932(QStringLiteral("正常に保存されました")));
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
        frmHelp_ = new TfrmHelp(this);
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
