// The link list window: loads the link data file, shows its records in a numbered grid where they
// are edited, added, removed and reordered with undo, saves the file, and hands the records to the
// page builder through the settings record's LinkList.
#pragma once

#include "FileDialog.h"
#include "FilePath.h"

#include <QDialog>
#include <memory>
#include <span>
#include <optional>

namespace Ui {
class TfrmTable;
}

namespace qvn::ui {
class LinkGridModel;
class LinkCheckPanel;
} // namespace qvn::ui

class QPersistentModelIndex;
class QUndoStack;

namespace qvn {
struct TSetting;
class TLinkTable;
} // namespace qvn

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
    // 「移転先に更新」: the current site's URL becomes where the link check found it moved to;
    // 「移転先にすべて更新」 does so for every site it found moved. Each is one step of undo.
    void btnFixMovedClick();
    void FixAllMoved();
    // Replaces the moved URLs of rows (every row when empty) by where they now lead.
    void FixMoved(std::span<const int> rows);
    // 「移転先に更新」 is there for a current site whose link moved.
    void UpdateFixMoved();
    void GridMenu(const QPoint& at);

    // A cell's text as its editor committed it. Text the field cannot hold is refused, and given
    // back to the user in the cell's editor once the error box has closed.
    void CellEdited(int row, int column, const QString& text);
    void EditAgain(const QPersistentModelIndex& cell, const QString& text);
    // A new empty site after the current one (at the end when the current row holds none), its
    // name the current cell.
    void AddSite();
    // Typing on a row that holds no site starts a new site; keyboard search is off, so typing
    // never lands in a row the user did not select. True when the event is done with.
    bool TypedOnEmptyRow(QEvent* event);
    // Shows table, read from path, as the list that pages are built from; it has no edits.
    void ShowTable(std::shared_ptr<qvn::TLinkTable> table, const qvn::FilePath& path);
    // What the check finds about the bytes of a loaded file that the grid cannot show whole.
    void ShowLoadFindings(const qvn::TLinkTable& table, const qvn::FilePath& path);
    // With unsaved edits, asks whether to save them first; false when the user cancels. A failed
    // save throws, so the command that asked stops. 「保存しない」 puts the list back as its file
    // holds it (DiscardEdits).
    bool AskToSave();
    void DiscardEdits();
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
