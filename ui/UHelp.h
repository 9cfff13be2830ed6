// The help window: the program's help page in a plain, resizable window of its own, beside the
// main window rather than in front of it, and usable while any other window of the program is
// open, modal ones included. Links within the page move in it; links to the web open in the
// desktop's browser.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class TfrmHelp;
}

class TfrmHelp : public QWidget {
    Q_OBJECT

public:
    // A window of its own even with a parent, which it dies with. Left open, it does not keep the
    // program running once the main window closes.
    explicit TfrmHelp(QWidget* parent = nullptr);
    ~TfrmHelp() override;

    // Shows the page at path and brings the window to the front, without blocking the other
    // windows. A page already shown keeps its place in the text; another path is loaded afresh.
    // False, with the window unchanged, when the file cannot be read.
    bool ShowPage(const QString& path);

private:
    std::unique_ptr<Ui::TfrmHelp> ui;
    QString shownPath_;
};
