#include "LinkGridModel.h"

#include "Text.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <stdexcept>

namespace qvn::ui {
namespace {

// A cell's text for display. Decoding runs inside Qt's painting, where no exception may pass:
// should the converter itself fail, ASCII bytes still show and every other byte shows as U+FFFD.
QString DisplayText(std::string_view bytes) noexcept {
    try {
        return FromCp932(bytes);
    } catch (...) {
        QString text;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte < 0x80 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
        }
        return text;
    }
}

} // namespace

LinkGridModel::LinkGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void LinkGridModel::SetRowCount(int count) {
    if (count < 1)
        throw std::invalid_argument("LinkGridModel: the grid keeps its header row");
    const int rows = count - 1;
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
}

void LinkGridModel::SetCells(TStringList list, int fields) {
    if (fields < 1 || fields > kRecordSize)
        throw std::invalid_argument("LinkGridModel: 1 to 4 fields a record");
    // Moved out rather than assigned over: assigning an empty list would keep the old buffer.
    const TStringList old = std::move(cells_);
    cells_ = std::move(list);
    fields_ = fields;
    records_ = cells_.Count() / fields;
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, kGridColumns - 2), {Qt::DisplayRole});
}

void LinkGridModel::SetHeaderText(int col, const QString& text) {
    if (col < 1 || col >= kGridColumns)
        throw std::out_of_range("LinkGridModel: header column");
    headers_[static_cast<std::size_t>(col)] = text;
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
}

std::string_view LinkGridModel::Field(int record, int field) const {
    if (record < 0 || record >= records_ || field < 0 || field >= fields_)
        return {};
    // The stride is the record size, whatever number of fields is shown.
    const long long item = static_cast<long long>(record) * kRecordSize + field;
    if (item >= cells_.Count())
        return {};
    return cells_.Get(static_cast<int>(item));
}

std::string_view LinkGridModel::CellBytes(int col, int row) const {
    if (col < 1 || col >= kGridColumns || row < 1 || row > rows_)
        return {};
    return Field(row - 1, col - 1);
}

QString LinkGridModel::CellText(int col, int row) const {
    if (col < 0 || col >= kGridColumns || row < 0 || row > rows_)
        return {};
    if (row == 0)
        return headers_[static_cast<std::size_t>(col)];
    if (col == 0)
        return QString::number(row);
    return DisplayText(CellBytes(col, row));
}

int LinkGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int LinkGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumns - 1;
}

QVariant LinkGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const std::string_view bytes = Field(index.row(), index.column());
    if (bytes.empty())
        return QString();
    return DisplayText(bytes); // decoded here, for the few cells on screen
}

QVariant LinkGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    if (section < 0 || section >= kGridColumns - 1)
        return {};
    return headers_[static_cast<std::size_t>(section + 1)];
}

Qt::ItemFlags LinkGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void LinkCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect textRect = option.rect.adjusted(2, 2, 0, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->restore();
    }
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = option.rect.adjusted(1, 1, -1, -1);
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

QSize LinkCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return option.rect.size();
}

} // namespace qvn::ui
