#include "UList.h"

#include "AppInfo.h"
#include "Check.h"
#include "DialogKeys.h"
#include "Errors.h"
#include "FileDrop.h"
#include "FindingsDialog.h"
#include "Fonts.h"
#include "Guard.h"
#include "LinkCheckPanel.h"
#include "LinkGridModel.h"
#include "Text.h"
#include "UDec.h"
#include "UInCSV.h"
#include "USetStrGrid.h"
#include "ui_UList.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QLineEdit>
#include <QMessageBox>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

using qvn::TLinkTable;
using qvn::ui::ConnectGuarded;
using qvn::ui::LinkGridModel;

namespace {

constexpr int kInitialRows = 51; // the header row and 50 record rows
constexpr int kRowHeight = 18;
constexpr int kNumberWidth = 30;
constexpr int kFieldWidth = 100;

// An edit of the link table. The window applies it before handing it to the undo stack, whose
// first redo then does nothing: an edit that fails is never on the stack. Undo puts back exactly
// the records it replaced, so an undone edit leaves the file's bytes as they were.
class TableEdit : public QUndoCommand {
public:
    TableEdit(LinkGridModel& model, std::function<void(int)> show)
        : model_(model), show_(std::move(show)) {}

    void Apply() { show_(Do()); }
    void redo() override {
        if (applied_)
            applied_ = false; // done already, by Apply
        else
            Apply();
    }
    void undo() override { show_(Undo()); }

protected:
    // Each returns the record to show afterwards.
    virtual int Do() = 0;
    virtual int Undo() = 0;
    LinkGridModel& model_;

private:
    std::function<void(int)> show_;
    bool applied_ = true;
};

// Records put in place of others, one or many at once (a cell edited, moved links repaired).
class PutEdit final : public TableEdit {
public:
    PutEdit(LinkGridModel& model, std::function<void(int)> show, std::vector<qvn::RecordEdit> edits)
        : TableEdit(model, std::move(show)), edits_(std::move(edits)) {}

private:
    int Do() override {
        for (const qvn::RecordEdit& e : edits_)
            model_.PutRecord(e.row, e.after);
        return edits_.front().row;
    }
    int Undo() override {
        for (auto e = edits_.rbegin(); e != edits_.rend(); ++e)
            model_.PutRecord(e->row, e->before);
        return edits_.front().row;
    }
    std::vector<qvn::RecordEdit> edits_;
};

class InsertEdit final : public TableEdit {
public:
    InsertEdit(LinkGridModel& model, std::function<void(int)> show, int row,
               std::vector<TLinkTable::Record> records)
        : TableEdit(model, std::move(show)), row_(row), records_(std::move(records)) {}

private:
    int Do() override {
        model_.InsertRecords(row_, records_);
        return row_;
    }
    int Undo() override {
        model_.RemoveRecords(row_, static_cast<int>(records_.size()));
        return std::max(row_ - 1, 0);
    }
    int row_;
    std::vector<TLinkTable::Record> records_;
};

class RemoveEdit final : public TableEdit {
public:
    RemoveEdit(LinkGridModel& model, std::function<void(int)> show, int row, int count)
        : TableEdit(model, std::move(show)), row_(row), count_(count) {}

private:
    int Do() override {
        removed_ = model_.RemoveRecords(row_, count_);
        return std::min(row_, std::max(model_.Records() - 1, 0));
    }
    int Undo() override {
        model_.InsertRecords(row_, removed_);
        removed_.clear();
        return row_;
    }
    int row_, count_;
    std::vector<TLinkTable::Record> removed_;
};

class MoveEdit final : public TableEdit {
public:
    MoveEdit(LinkGridModel& model, std::function<void(int)> show, int from, int to)
        : TableEdit(model, std::move(show)), from_(from), to_(to) {}

private:
    int Do() override {
        model_.MoveRecord(from_, to_);
        return to_;
    }
    int Undo() override {
        model_.MoveRecord(to_, from_);
        return from_;
    }
    int from_, to_;
};

} // namespace

TfrmTable::TfrmTable(qvn::TSetting& setting, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmTable>()), setting_(setting),
      odDataFile({QStringLiteral("CSV 形式 (*.csv)"), /*mustExist=*/true, /*save=*/false}) {
    ui->setupUi(this);
    move(199, 112);

    qvn::ui::SetFormFont(this);
    ui->lbFile->setFont(qvn::ui::PixelFont(qvn::ui::FormFace(), 13));
    ui->sgLinkList->setFont(qvn::ui::PixelFont(qvn::ui::GridFace(), 12));

    // The window in button-face colour; the grid's cells on the tooltip colour, its fixed cells
    // (the headers) in button-face colour.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);
    QPalette gridPalette = ui->sgLinkList->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Text, gridPalette.color(QPalette::ToolTipText));
    ui->sgLinkList->setPalette(gridPalette);
    for (QHeaderView* header :
         {ui->sgLinkList->horizontalHeader(), ui->sgLinkList->verticalHeader()})
        header->setPalette(windowPalette);

    model_ = new qvn::ui::LinkGridModel(this);
    ui->sgLinkList->setModel(model_);
    ui->sgLinkList->setItemDelegate(new qvn::ui::LinkCellDelegate(ui->sgLinkList));
    // The link check, under the grid: the model's rows show its verdicts.
    linkCheck_ = new qvn::ui::LinkCheckPanel(*ui->sgLinkList, *model_, *this, this);
    ui->layoutTable->insertWidget(1, linkCheck_);

    ConnectGuarded(ui->btnRefer, &QPushButton::clicked, this, &TfrmTable::btnReferClick);
    ConnectGuarded(ui->btnLoad, &QPushButton::clicked, this, &TfrmTable::btnLoadClick);
    ConnectGuarded(ui->btnClose, &QPushButton::clicked, this, &TfrmTable::btnCloseClick);
    ConnectGuarded(ui->btnAdd, &QPushButton::clicked, this, &TfrmTable::btnAddClick);
    ConnectGuarded(ui->btnDelete, &QPushButton::clicked, this, &TfrmTable::btnDeleteClick);
    ConnectGuarded(ui->btnUp, &QPushButton::clicked, this, &TfrmTable::btnUpClick);
    ConnectGuarded(ui->btnDown, &QPushButton::clicked, this, &TfrmTable::btnDownClick);
    ConnectGuarded(ui->btnSave, &QPushButton::clicked, this, &TfrmTable::btnSaveClick);
    ConnectGuarded(ui->btnFixMoved, &QPushButton::clicked, this, &TfrmTable::btnFixMovedClick);
    // 「移転先に更新」 follows the current site and the verdicts as they come.
    connect(ui->sgLinkList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmTable::UpdateFixMoved);
    connect(model_, &QAbstractItemModel::dataChanged, this, &TfrmTable::UpdateFixMoved);
    ui->sgLinkList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->sgLinkList, &QWidget::customContextMenuRequested, this, &TfrmTable::GridMenu);
    connect(model_, &LinkGridModel::CellEdited, this,
            [this](int row, int column, const QString& text) {
                bool refused = false;
                qvn::ui::Guarded(this, [&] {
                    try {
                        CellEdited(row, column, text);
                    } catch (const qvn::FieldError&) {
                        refused = true;
                        throw;
                    }
                });
                // The refused editor closes once this returns; a new one, opened after it for
                // the same site while the same list is shown, gives the user the text back.
                if (refused)
                    QTimer::singleShot(0, this,
                                       [this, text, list = std::weak_ptr(setting_.LinkList),
                                        cell = QPersistentModelIndex(model_->index(row, column))] {
                                           if (list.lock() == setting_.LinkList)
                                               EditAgain(cell, text);
                                       });
            });
    // Rows added for new records get their numbers; the number column widens as for a load.
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this] { qvn::ui::SetRowCount(*ui->sgLinkList, model_->rowCount() + 1); });
    ui->sgLinkList->installEventFilter(this);

    // Undo and redo of the table's edits, from anywhere in the window but a text being edited,
    // which undoes its own typing first.
    undo_ = new QUndoStack(this);
    auto* undo = new QAction(this);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    auto* redo = new QAction(this);
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    addActions({undo, redo});
    connect(undo, &QAction::triggered, this,
            [this] { qvn::ui::Guarded(this, [&] { undo_->undo(); }); });
    connect(redo, &QAction::triggered, this,
            [this] { qvn::ui::Guarded(this, [&] { undo_->redo(); }); });

    AppInit();
    ui->sgLinkList->setFocus();
}

TfrmTable::~TfrmTable() = default;

void TfrmTable::AppInit() {
    new qvn::ui::FileDropTarget(this, ui->edPath);

    QTableView& grid = *ui->sgLinkList;
    QHeaderView* rows = grid.verticalHeader();
    QHeaderView* columns = grid.horizontalHeader();
    // No resizing or moving of rows and columns, and a click on a fixed cell selects nothing.
    for (QHeaderView* header : {rows, columns}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setSectionsMovable(false);
        header->setSectionsClickable(false);
        header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    // One row height for every row through the default section size: Qt clamps the default to
    // a font-dependent minimum unless that is lowered first. Heights are never set row by row,
    // which Qt does in time quadratic in the rows.
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(kRowHeight);
    columns->setMinimumSectionSize(0);
    columns->setFixedHeight(kRowHeight);
    // No column is wider than the start of a field that a cell shows, at 7 pixels a byte: a
    // column a million pixels wide costs the header a picture of that size at every repaint.
    columns->setMaximumSectionSize(7 * static_cast<int>(LinkGridModel::kShownBytes) + 4);

    qvn::ui::SetRowCount(grid, kInitialRows); // the row numbers come with the rows
    qvn::ui::SetColWidth(grid, 0, kNumberWidth);
    for (int col = 1; col < qvn::ui::LinkGridModel::kGridColumns; ++col)
        qvn::ui::SetColWidth(grid, col, kFieldWidth);
    for (std::size_t k = 0; k < qvn::kLinkFields; ++k) {
        const std::string_view name = qvn::kFieldNames[k];
        model_->SetHeaderText(static_cast<int>(k) + 1,
                              QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void TfrmTable::btnReferClick() {
    if (const auto path = odDataFile.Execute(this))
        ui->edPath->setText(*path);
}

void TfrmTable::btnLoadClick() {
    const qvn::FilePath path = qvn::ui::PathFromText(ui->edPath->text());
    // Read before asking about unsaved edits: a file that cannot be read leaves them as they are.
    auto loaded = std::make_shared<TLinkTable>(qvn::ReadCSV(path));
    if (!AskToSave())
        return;
    ShowTable(std::move(loaded), path);
    ShowLoadFindings(*setting_.LinkList, path);
}

void TfrmTable::ShowTable(std::shared_ptr<TLinkTable> table, const qvn::FilePath& path) {
    QTableView& grid = *ui->sgLinkList;
    // More records than the 50 rows of the start give one row each; fewer leave the rows that
    // an earlier, longer load made.
    if (table->Count() > kInitialRows - 1)
        qvn::ui::SetRowCount(grid, table->Count() + 1);
    // An editor still open holds text meant for the list that goes.
    grid.closePersistentEditor(grid.currentIndex());
    // The grid and the record's LinkList hold the same table: the grid's edits are what a page is
    // built from, and a reload holds the old table and the new one at most.
    qvn::ui::SetStrGrid(grid, table, qvn::kLinkFields);
    linkCheck_->NewList();
    setting_.LinkList = std::move(table);
    setting_.LinkListFile = path;
    undo_->clear();
}

void TfrmTable::ShowLoadFindings(const TLinkTable& table, const qvn::FilePath& path) {
    // A NUL byte ends the text that the grid shows and a build reads: a file in UTF-16, whose
    // characters hold zero bytes, or a text with other data after it. Only such a file holds
    // bytes the grid cannot show whole, and only its load costs the time of the check.
    const std::string* text = table.TextAsRead();
    if (!text || !table.EndsAtNul())
        return;
    QStringList lines; // the findings about the file's bytes
    for (const qvn::Finding& finding : qvn::check::CheckDataOnly({path.Display(), *text}).list) {
        if (finding.kind == "encoding" || finding.kind == "nul")
            lines << qvn::ui::FindingLines(finding);
    }
    if (lines.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, qvn::ui::AppTitle(), lines.join(QLatin1Char('\n')),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("loadFindings"));
    box.exec();
}

void TfrmTable::btnCloseClick() {
    if (AskToSave())
        done(QDialog::Accepted);
}

void TfrmTable::closeEvent(QCloseEvent* event) {
    bool close = false;
    qvn::ui::Guarded(this, [&] { close = AskToSave(); });
    if (close)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

bool TfrmTable::AskToSave() {
    if (undo_->isClean())
        return true;
    QMessageBox box(QMessageBox::Question, qvn::ui::AppTitle(),
                    QStringLiteral("リンクデータの変更が保存されていません。保存しますか?"),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("saveQuestion"));
    QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QStringLiteral("保存しない"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) {
        btnSaveClick();
        return true;
    }
    if (box.clickedButton() != discard)
        return false;
    DiscardEdits();
    return true;
}

void TfrmTable::DiscardEdits() {
    if (undo_->cleanIndex() >= 0) {
        undo_->setIndex(undo_->cleanIndex()); // undone, each edit gives back the bytes it replaced
        undo_->clear();
        return;
    }
    // Saved, undone past the save and edited again: the edits no longer lead back to what the file
    // holds, which is read again.
    ShowTable(std::make_shared<TLinkTable>(qvn::ReadCSV(setting_.LinkListFile)),
              setting_.LinkListFile);
}

void TfrmTable::btnSaveClick() {
    if (!setting_.LinkList)
        throw qvn::NoLinkDataError();
    model_->Table().SaveToFile(setting_.LinkListFile);
    undo_->setClean();
}

int TfrmTable::CurrentRecord() const {
    const QModelIndex current = ui->sgLinkList->currentIndex();
    return current.isValid() && current.row() < model_->Records() ? current.row() : -1;
}

void TfrmTable::ShowRecord(int row) {
    QTableView& grid = *ui->sgLinkList;
    if (row < 0 || row >= model_->rowCount())
        return;
    const QModelIndex index = model_->index(row, std::max(grid.currentIndex().column(), 0));
    grid.setCurrentIndex(index);
    grid.scrollTo(index);
}

void TfrmTable::CellEdited(int row, int column, const QString& text) {
    TLinkTable& table = model_->Table();
    const TLinkTable::Record before = table.At(row);
    const QByteArray utf8 = text.toUtf8();
    const TLinkTable::Record after = table.WithField(row, static_cast<qvn::LinkField>(column),
                                                     std::string_view(utf8.data(), utf8.size()));
    if (after == before)
        return;
    auto edit = std::make_unique<PutEdit>(
        *model_, [this](int r) { ShowRecord(r); }, std::vector{qvn::RecordEdit{row, before, after}});
    edit->Apply();
    undo_->push(edit.release());
    qvn::ui::WidenForField(*ui->sgLinkList, column + 1,
                           table.Field(row, static_cast<qvn::LinkField>(column)).size());
}

void TfrmTable::EditAgain(const QPersistentModelIndex& cell, const QString& text) {
    QTableView& grid = *ui->sgLinkList;
    if (!cell.isValid() || !isVisible())
        return;
    grid.setCurrentIndex(cell);
    grid.edit(cell);
    if (auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(cell)))
        editor->setText(text);
}

void TfrmTable::AddSite() {
    if (!setting_.LinkList)
        throw qvn::NoLinkDataError();
    const int current = CurrentRecord();
    const int row = current < 0 ? model_->Records() : current + 1;
    auto edit = std::make_unique<InsertEdit>(
        *model_, [this](int r) { ShowRecord(r); }, row, std::vector{model_->Table().NewSite()});
    edit->Apply();
    undo_->push(edit.release());
    const QModelIndex name = model_->index(row, static_cast<int>(qvn::kSiteName));
    ui->sgLinkList->setCurrentIndex(name);
    ui->sgLinkList->scrollTo(name);
}

void TfrmTable::btnAddClick() {
    AddSite();
    ui->sgLinkList->edit(ui->sgLinkList->currentIndex()); // typing goes into the new name
}

bool TfrmTable::TypedOnEmptyRow(QEvent* event) {
    QString text;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            text = key->text();
    } else if (event->type() == QEvent::InputMethod) {
        // An input method's first text, composed or committed: the editor it opens takes the rest.
        const auto* input = static_cast<QInputMethodEvent*>(event);
        text = input->commitString().isEmpty() ? input->preeditString() : input->commitString();
    }
    // Control characters (Enter, Esc, Backspace) are keys of their own, never typed text.
    if (text.isEmpty() || text.front().unicode() < 0x20 || text.front().unicode() == 0x7F)
        return false;
    const QModelIndex current = ui->sgLinkList->currentIndex();
    if (current.isValid() && (model_->flags(current) & Qt::ItemIsEditable))
        return false; // the grid edits the cell, starting with what was typed
    if (!current.isValid() || !setting_.LinkList)
        return true; // no site to start: nothing happens, and no search either
    AddSite();
    return false; // the grid now opens the new name's editor with what was typed
}

void TfrmTable::btnDeleteClick() {
    // The rows the selection spans (one range: the grid selects contiguously), or the current
    // row; rows past the last record hold no site.
    int first = CurrentRecord(), last = first;
    const QItemSelection selection = ui->sgLinkList->selectionModel()->selection();
    if (!selection.isEmpty()) {
        first = model_->rowCount();
        last = -1;
        for (const QItemSelectionRange& range : selection) {
            first = std::min(first, range.top());
            last = std::max(last, range.bottom());
        }
    }
    last = std::min(last, model_->Records() - 1);
    if (first < 0 || first > last)
        return;
    auto edit = std::make_unique<RemoveEdit>(
        *model_, [this](int r) { ShowRecord(r); }, first, last - first + 1);
    edit->Apply();
    undo_->push(edit.release());
}

void TfrmTable::btnUpClick() {
    const int row = CurrentRecord();
    if (row < 1)
        return;
    auto edit = std::make_unique<MoveEdit>(
        *model_, [this](int r) { ShowRecord(r); }, row, row - 1);
    edit->Apply();
    undo_->push(edit.release());
}

void TfrmTable::btnDownClick() {
    const int row = CurrentRecord();
    if (row < 0 || row + 1 >= model_->Records())
        return;
    auto edit = std::make_unique<MoveEdit>(
        *model_, [this](int r) { ShowRecord(r); }, row, row + 1);
    edit->Apply();
    undo_->push(edit.release());
}

void TfrmTable::btnFixMovedClick() {
    if (const int row = CurrentRecord(); row >= 0)
        FixMoved(std::span(&row, 1));
}

void TfrmTable::FixAllMoved() {
    FixMoved({});
}

void TfrmTable::FixMoved(std::span<const int> rows) {
    std::unordered_map<std::string, std::string> moved; // each moved URL: where it leads now
    const auto note = [&](int row) {
        if (const auto* verdict = model_->VerdictOf(row); verdict && !verdict->movedTo.empty())
            moved.emplace(model_->Table().Field(row, qvn::kURL), verdict->movedTo);
    };
    for (int row = 0; row < model_->Records(); ++row) {
        if (rows.empty() || std::ranges::find(rows, row) != rows.end())
            note(row);
    }
    if (moved.empty())
        return;
    qvn::UrlEdits fix = model_->Table().MovedUrlEdits(moved, rows);
    if (!fix.edits.empty()) {
        auto edit = std::make_unique<PutEdit>(
            *model_, [this](int r) { ShowRecord(r); }, std::move(fix.edits));
        edit->Apply();
        undo_->push(edit.release());
    }
    if (!fix.refused.empty()) {
        std::string why;
        for (const auto& [row, reason] : fix.refused)
            why += (why.empty() ? "" : "\n") + std::to_string(row + 1) + " 行: " + reason;
        throw qvn::Error(why);
    }
}

void TfrmTable::UpdateFixMoved() {
    const int row = CurrentRecord();
    const auto* verdict = row < 0 ? nullptr : model_->VerdictOf(row);
    ui->btnFixMoved->setEnabled(verdict && !verdict->movedTo.empty());
}

void TfrmTable::GridMenu(const QPoint& at) {
    bool anyMoved = false;
    for (int row = 0; row < model_->Records() && !anyMoved; ++row) {
        const auto* verdict = model_->VerdictOf(row);
        anyMoved = verdict && !verdict->movedTo.empty();
    }
    QMenu menu(this);
    QAction* one = menu.addAction(QStringLiteral("移転先に更新"));
    one->setObjectName(QStringLiteral("actFixMoved"));
    one->setEnabled(ui->btnFixMoved->isEnabled());
    QAction* all = menu.addAction(QStringLiteral("移転先にすべて更新"));
    all->setObjectName(QStringLiteral("actFixAllMoved"));
    all->setEnabled(anyMoved);
    QAction* chosen = menu.exec(ui->sgLinkList->viewport()->mapToGlobal(at));
    qvn::ui::Guarded(this, [&] {
        if (chosen == one)
            btnFixMovedClick();
        else if (chosen == all)
            FixAllMoved();
    });
}

bool TfrmTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui->sgLinkList)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        qvn::ui::Guarded(this, [&] { CopyCells(); });
        return true;
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod) {
        bool done = true; // a failure ends the typing too
        qvn::ui::Guarded(this, [&] { done = TypedOnEmptyRow(event); });
        if (done)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The selected cells' whole text, a tab between cells and a line break between rows; the current
// cell's when nothing is selected.
void TfrmTable::CopyCells() {
    QTableView& grid = *ui->sgLinkList;
    QModelIndexList cells = grid.selectionModel()->selectedIndexes();
    if (cells.isEmpty() && grid.currentIndex().isValid())
        cells.append(grid.currentIndex());
    if (cells.isEmpty())
        return;
    std::sort(cells.begin(), cells.end());
    QString text;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += cells[i].row() != cells[i - 1].row() ? QLatin1Char('\n') : QLatin1Char('\t');
        text += model_->data(cells[i], Qt::EditRole).toString();
    }
    QGuiApplication::clipboard()->setText(text);
}

void TfrmTable::keyPressEvent(QKeyEvent* event) {
    if (!qvn::ui::SwallowEnterAndEsc(event))
        QDialog::keyPressEvent(event);
}
