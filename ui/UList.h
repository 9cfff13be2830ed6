// The link list window: loads the link data file, shows its records in a numbered grid where they
// are edited, added, removed and reordered with undo, saves the file, and hands the records to the
// page builder through the settings record's LinkList.
#pragma once

#include "FileDialog.h"
#include "FilePath.h"

#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class TfrmTable;
}

namespace qvn::ui {
class LinkGridModel;
class LinkCheckPanel;
} // namespace qvn::ui

class QUndoStack;

namespace qvn {
struct TSetting;
}

class TfrmTable : public QDialog {
    Q_OBJECT

public:
    // A load puts the link list and its file in setting.
    explicit TfrmTable(qvn::TSetting& setting, QWidget* parent = nullptr);
    ~TfrmTable() override;

protected:
    // The window has no default or cancel button: Enter and Esc do nothing.
    void keyPressEvent(QKeyEvent* event) override;
    // The close box asks first when there are unsaved edits.
    void closeEvent(QCloseEvent* event) override;
    // The grid's copy takes the cells' whole text.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AppInit();
    void btnReferClick();
    void btnLoadClick();
    void btnCloseClick();
    void btnAddClick();
    void btnDeleteClick();
    void btnUpClick();
    void btnDownClick();
    void btnSaveClick();

    // A cell's text as its editor committed it.
    void CellEdited(int row, int column, const QString& text);
    // With unsaved edits, asks whether to save them first; false when the user cancels. A failed
    // save throws, so the command that asked stops.
    bool AskToSave();
    // Makes record row the current cell, in the current column, and scrolls to it.
    void ShowRecord(int row);
    // The grid's current record, or −1 when the current cell is not on a record.
    int CurrentRecord() const;
    void CopyCells();

    std::unique_ptr<Ui::TfrmTable> ui;
    qvn::TSetting& setting_;
    qvn::ui::LinkGridModel* model_ = nullptr;      // owned by this window
    qvn::ui::LinkCheckPanel* linkCheck_ = nullptr; // owned by this window
    QUndoStack* undo_ = nullptr;                   // owned by this window
    qvn::ui::FileDialog odDataFile;
};
