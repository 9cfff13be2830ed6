// The link list grid's contents: the link table of the last load, as edited since, shown one
// record a row, with the link check's verdicts.
//
// The grid the user sees has a fixed header row (row 0) and a fixed number column (column 0);
// on a QTableView they are the horizontal and the vertical header. The model's own rows and
// columns are the grid's non-fixed cells: model row r is grid row r + 1, model column c is grid
// column c + 1. Only rows that hold a site are numbered: the empty rows after the last one only
// fill the grid. Cells are never stored one by one: the model keeps the table and decodes a cell's
// bytes only when the view asks for it, so a million records cost their bytes and the table's
// index, and nothing per cell. A cell shows at most kShownBytes of its field, so that one very
// long field costs no more to draw than a short one; editing and copying take the whole text.
//
// Link data is code page 932, or UTF-8 for a UTF-8 page, as the table decided when it was read.
// Only the display depends on it; the bytes stay as they are.
#pragma once

#include "LinkTable.h"
#include "Links.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStyledItemDelegate>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qvn::ui {

class LinkGridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kGridColumns = 5;          // the number column and the four fields

    // The most bytes of a field that its cell shows.
    static constexpr std::size_t kShownBytes = 2048;

    explicit LinkGridModel(QObject* parent = nullptr);

    // Adds or removes record rows at the end; the cells of remaining rows stay as they are.
    void SetRowCount(int count);

    // Shows table: record r (from 0) fills grid row r + 1 with its first `fields` fields (1 to 4)
    // in columns 1 to fields, rows past the last record are empty; rows are added for records
    // past the last row. The view updates without a reset, so the selection and the scroll
    // position stay. The verdicts of the last table are forgotten.
    void SetTable(std::shared_ptr<TLinkTable> table, int fields);
    TLinkTable& Table() const { return *table_; }
    int Records() const { return table_->Count(); }

    // The edits of the table, each shown at once and told to the view as what it is: a record put
    // in place, records inserted before row, removed, or moved. Inserted records take the place
    // of empty rows at the end while there are any (rows are added when the records outgrow
    // them); removed ones leave as many empty rows there.
    void PutRecord(int row, const TLinkTable::Record& record);
    void InsertRecords(int row, const std::vector<TLinkTable::Record>& records);
    std::vector<TLinkTable::Record> RemoveRecords(int row, int count);
    void MoveRecord(int from, int to);

    // The header text of grid column col (1 to 4) in row 0.
    void SetHeaderText(int col, const QString& text);

    // A URL's verdict. Every record shows the verdict of the URL it holds now, whatever edits
    // moved it or changed its URL, as its background colour and its tooltip.
    struct Verdict {
        QColor colour;
        QString text;
        bool finding = false; // listed among the check's findings
        std::string movedTo;  // a moved link that may be repaired (linkcheck::Fixable): its new
                              // URL, for MovedUrlEdits; empty otherwise
    };
    // Forgets every verdict and returns the distinct URLs the records hold now, in their order:
    // SetVerdict gives each its verdict by its index there. A URL no record held then has none.
    std::vector<std::string> ResetVerdicts();
    // Returns the verdict as the records that hold the URL show it, nullptr for no such URL.
    const Verdict* SetVerdict(std::size_t url, Verdict verdict);
    // The verdict a record shows, nullptr while it has none.
    const Verdict* VerdictOf(int row) const {
        const auto at = static_cast<std::size_t>(row); // past the end when negative
        const std::size_t url = at < rowUrl_.size() ? rowUrl_[at] : kNoUrl;
        return url < verdicts_.size() && verdicts_[url] ? &*verdicts_[url] : nullptr;
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the start of the field; EditRole: all of it; BackgroundRole and ToolTipRole:
    // the record's verdict.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Changes nothing itself: hands the text on as CellEdited, for an edit that can be undone.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The text an editor committed for a record's cell (model row and column).
    void CellEdited(int row, int column, const QString& text);

private:
    static constexpr std::size_t kNoUrl = static_cast<std::size_t>(-1);

    std::string_view Field(int record, int field) const;

    // Tells the view that rows from first on changed, as far as it shows them: in roles, or in
    // every role.
    void Changed(int first, int last, const QList<int>& roles = {});
    // Takes the URL index of records first to last anew, while there are verdicts.
    void IndexUrls(int first, int last);

    std::shared_ptr<TLinkTable> table_; // never null
    // The fields of the record asked for last, and the line they were cut from: a view asks for
    // a row's cells one after another, and cutting a line of many megabytes again for each of
    // them, at every repaint, is what makes a grid slow. The table's bytes never change in
    // place, so the same line at the same address holds the same fields.
    mutable int cachedRow_ = -1;
    mutable std::string_view cachedLine_;
    mutable TLinkRecord cachedFields_;
    int fields_ = kLinkFields; // fields shown a record
    int rows_ = 0;             // record rows: grid rows without the header row
    std::array<QString, kGridColumns> headers_;
    // The verdicts: the index of each URL checked, each record's URL index (kNoUrl for one that
    // was not checked; empty while there are no verdicts), and each URL's verdict once known.
    std::unordered_map<std::string, std::size_t> urlIndex_;
    std::vector<std::size_t> rowUrl_;
    std::vector<std::optional<Verdict>> verdicts_;
};

// Draws a grid cell as the string grid does: on its background colour (the record's verdict), the
// text 2 pixels in from the cell's left and top edges, on one line, clipped at the cell's edge (no
// eliding), the selection in the highlight colours and the current cell with a focus frame. A cell
// is edited in a line edit that holds text of any length.
class LinkCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Never asked for the cell's text: the rows have the grid's fixed height.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

} // namespace qvn::ui
