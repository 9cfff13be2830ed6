// The link list window: loads the link data file, shows its records in a numbered grid and hands
// them to the page builder through Setting.LinkList.
#pragma once

#include "FileDialog.h"

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmTable;
}

namespace qvn::ui {
class LinkGridModel;
class LinkCheckPanel;
}

class TfrmTable : public QDialog {
    Q_OBJECT

public:
    explicit TfrmTable(QWidget* parent = nullptr);
    ~TfrmTable() override;

protected:
    // The window has no default or cancel button: Enter and Esc do nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AppInit();
    void btnReferClick();
    void btnLoadClick();
    void btnCloseClick();

    std::unique_ptr<Ui::TfrmTable> ui;
    qvn::ui::LinkGridModel* model_ = nullptr;      // owned by this window
    qvn::ui::LinkCheckPanel* linkCheck_ = nullptr; // owned by this window; none without libcurl
    qvn::ui::FileDialog odDataFile;
};
