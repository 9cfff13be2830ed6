#include "UMain1.h"

#include "AppInfo.h"
#include "Check.h"
#include "Errors.h"
#include "FileDrop.h"
#include "FileIdentity.h"
#include "FindingsDialog.h"
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

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

using namespace qvn;
using namespace qvn::ui;

namespace {

const QString kHtmlFilter = QStringLiteral("HTML 形式 (*.html *.htm)");

// A failure of the help command, worded like the core's file messages, the path with the
// system's own separators.
Error HelpError(const QString& path, const QString& ending) {
    const QString text = QStringLiteral("ヘルプファイル ") + QDir::toNativeSeparators(path) + ending;
    return Error::WithUtf8(ToCp932(text), text.toStdString());
}

// A finding's line with its file named without its folder: "links.csv:2: 警告: …".
QString ShortLine(const std::string& line, const std::string& name) {
    const QString text = QString::fromStdString(line);
    if (name.empty() || !line.starts_with(name))
        return text;
    return QFileInfo(QString::fromStdString(name)).fileName() +
           text.mid(QString::fromStdString(name).size());
}

// The label of a finding's line, "NAME:LINE[:COLUMN]: LABEL: text" or "NAME: LABEL: text".
std::string_view Label(std::string_view line, const std::string& name) {
    line.remove_prefix(std::min(name.size(), line.size()));
    while (line.size() > 1 && line[0] == ':' && line[1] >= '0' && line[1] <= '9') {
        line.remove_prefix(1);
        while (!line.empty() && line[0] >= '0' && line[0] <= '9')
            line.remove_prefix(1);
    }
    if (!line.starts_with(": "))
        return {};
    line.remove_prefix(2);
    return line.substr(0, line.find(':'));
}

// Why the builder could not cut the template, as the check explains it: its errors about the
// template, each with its notes (the lines that were almost the missing marker).
QString TemplateExplanation(const std::string& data, const std::string& templ,
                            const Tokens& tokens) {
    // Only the template's findings are wanted: the data is not read for them.
    const check::Findings findings = check::CheckInputs(data, templ, tokens, std::string_view());
    QStringList kept;
    bool keepNotes = false;
    for (const std::string& line : findings.templ) {
        const std::string_view label = Label(line, templ);
        if (label == "注記" ? keepNotes : label == "エラー") {
            kept << ShortLine(line, templ);
            keepNotes = keepNotes || label == "エラー";
        } else {
            keepNotes = false;
        }
    }
    return kept.join(QLatin1Char('\n'));
}

// The bytes of the link list as loaded and edited in the link list window, which the page is
// built from: what the check must look at, whatever the file holds now. Unchanged, they are the
// bytes the table read, with no copy; edited, they are written out once.
std::string_view LinkListBytes(const TLinkTable& table, std::string& written) {
    if (const std::string* read = table.TextAsRead())
        return *read;
    table.Write([&written](std::string& block) {
        written += block;
        block.clear();
    });
    return written;
}

// The name the check is given for a file: the file system's name ("" for none).
std::string CheckName(const FilePath& path) {
    return path.Native().value_or(std::string());
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
// marker is reported at once and no file name is asked for in vain; a template that cannot be cut
// is explained by the check. The check of both inputs then runs as qvn-build --check runs it, and
// when it finds anything the user sees the findings and may stop. The page then goes straight into
// its file as it is built, never into the link data file or the template.
void TfrmMain::Button2Click() {
    const QString pathText = ui->edPath->text();
    const QByteArray typed = pathText.toUtf8();
    Setting.TemplatePath.assign(typed.constData(), static_cast<std::size_t>(typed.size()));
    const TLinkTable& linkList = Setting.Links();
    const FilePath templPath = PathFromText(pathText);
    const std::string dataName = Setting.LinkListFile ? CheckName(*Setting.LinkListFile) : "";

    std::optional<TPageTemplate> page;
    try {
        page.emplace(templPath);
    } catch (const ListIndexError& e) {
        throw ExplainedError(
            e, TemplateExplanation(dataName, CheckName(templPath), Setting.GetTokens()));
    }
    const Tokens tokens = TokensForTemplate(Setting.GetTokens(), page->Encoding());

    if (Setting.LinkListFile) {
        std::string written;
        const check::Findings findings = check::CheckInputs(dataName, CheckName(templPath), tokens,
                                                            LinkListBytes(linkList, written));
        if (findings.errors + findings.warnings > 0) {
            QStringList lines;
            for (const std::string& line : findings.data)
                lines << ShortLine(line, dataName);
            for (const std::string& line : findings.templ)
                lines << ShortLine(line, CheckName(templPath));
            if (!ConfirmFindings(this, lines, findings.errors, findings.warnings))
                return; // stopped: nothing saved, nothing shown
        }
    }

    const auto chosen = sdFile.Execute(this);
    if (!chosen)
        return; // cancelled: nothing saved, nothing shown
    const FilePath output = PathFromText(*chosen);
    RefuseInputAsOutput(output, Setting.LinkListFile ? &*Setting.LinkListFile : nullptr, templPath);
    TableLinks links(linkList);
    SavePage(*page, links, tokens, output);
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
