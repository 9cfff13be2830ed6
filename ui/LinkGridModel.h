// The link list grid's contents: the flat field list of the last load, shown one record a row.
//
// The grid the user sees has a fixed header row (row 0) and a fixed number column (column 0);
// on a QTableView they are the horizontal and the vertical header. The model's own rows and
// columns are the grid's non-fixed cells: model row r is grid row r + 1, model column c is grid
// column c + 1. Cells are never stored one by one: the model keeps the flat field list whole and
// decodes a cell's bytes only when the view asks for it, so a million records cost their bytes
// and the list's index, and nothing per cell.
//
// Link data is code page 932, or UTF-8 for a UTF-8 page. Which one a list is gets decided once,
// for the whole list, when it is set: UTF-8 when every field is valid UTF-8 and at least one is
// not plain ASCII, code page 932 otherwise. Only the display depends on it; the bytes stay as
// they are.
#pragma once

#include "Links.h"
#include "StringList.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <memory>
#include <string_view>

namespace qvn::ui {

class LinkGridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kGridColumns = 5;          // the number column and the four fields
    static constexpr int kRecordSize = kLinkFields; // items a record in the flat field list

    explicit LinkGridModel(QObject* parent = nullptr);

    // Adds or removes record rows at the end; the cells of remaining rows stay as they are.
    void SetRowCount(int count);

    // Replaces every non-fixed cell: the cells are emptied, then record r (from 0) of list fills
    // grid row r + 1 with its first `fields` items (1 to 4) in columns 1 to fields. Records past
    // the last row are kept but not shown. The view updates without a reset, so the selection
    // and the scroll position stay.
    void SetCells(std::shared_ptr<const TStringList> list, int fields);

    // The header text of grid column col (1 to 4) in row 0.
    void SetHeaderText(int col, const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::string_view Field(int record, int field) const;

    std::shared_ptr<const TStringList> cells_; // never null
    int fields_ = 0;                           // fields shown a record
    int records_ = 0;                          // whole records in cells_
    bool utf8_ = false;                        // cells_ shown as UTF-8 rather than code page 932
    int rows_ = 0;                             // record rows: grid rows without the header row
    std::array<QString, kGridColumns> headers_;
};

// Draws a grid cell as the string grid does: the text 2 pixels in from the cell's left and top
// edges, on one line, clipped at the cell's edge (no eliding), the selection in the highlight
// colours and the current cell with a focus frame. Cells cannot be edited.
class LinkCellDelegate final : public QAbstractItemDelegate {
public:
    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Never asked for the cell's text: the rows have the grid's fixed height.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace qvn::ui
