// The main window: the template path, the two main commands ("入力データ読込", "編集/出力") and
// the menu that opens the settings dialog, the help page and the About box.
#pragma once

#include "FileDialog.h"

#include <QMainWindow>
#include <QString>
#include <memory>

namespace Ui {
class TfrmMain;
}

namespace qvn {
struct TSetting;
}

class TfrmHelp;
class TfrmTable;
class TfrmVer;
class TfrmSetting;

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    // The window sets the default tokens in setting, and builds pages from what it holds.
    explicit TfrmMain(qvn::TSetting& setting, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The three windows this one shows modally. They are children of this window and die with it.
    void SetWindows(TfrmTable* frmTable, TfrmVer* frmVer, TfrmSetting* frmSetting);

    // The help page that "QVN のヘルプ" opens; start-up sets it.
    void SetHelpFile(const QString& path) { helpFile_ = path; }
    // The help window once it has been shown; null before.
    TfrmHelp* HelpWindow() const { return frmHelp_.get(); }

private:
    void AppInit();
    void btnReferClick();
    void Button1Click();
    void Button2Click();
    void File1Click();
    void Help2Click();
    void About1Click();
    void Exit1Click();

    std::unique_ptr<Ui::TfrmMain> ui;
    qvn::TSetting& setting_;
    qvn::ui::FileDialog odFile;
    qvn::ui::FileDialog sdFile;
    TfrmTable* frmTable_ = nullptr;
    TfrmVer* frmVer_ = nullptr;
    TfrmSetting* frmSetting_ = nullptr;
    // Made at the first showing. A window without an owner, so that no dialog of this window
    // blocks it; it dies with this window.
    std::unique_ptr<TfrmHelp> frmHelp_;
    QString helpFile_;
};
