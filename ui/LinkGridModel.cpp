#include "LinkGridModel.h"

#include "Codec.h"
#include "Text.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <stdexcept>

namespace qvn::ui {
namespace {

// A cell's text for display, from UTF-8 or code page 932 bytes. Decoding runs inside Qt's
// painting, where no exception may pass: should the converter itself fail, ASCII bytes still show
// and every other byte shows as U+FFFD.
QString DisplayText(std::string_view bytes, bool utf8) noexcept {
    try {
        if (utf8)
            return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
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

// The whole list, field by field: a short code page 932 field (half-width katakana, say) can be
// valid UTF-8 by chance, while a code page 932 file as a whole almost never is. One pass that
// stops at the first field that is not UTF-8, which in code page 932 data comes early.
bool ReadsAsUtf8(const TStringList& list) {
    bool wide = false;
    for (int i = 0; i < list.Count(); ++i) {
        switch (ClassifyUtf8(list.Get(i))) {
        case Utf8Kind::NotUtf8:
            return false;
        case Utf8Kind::Utf8:
            wide = true;
            break;
        case Utf8Kind::Ascii:
            break;
        }
    }
    return wide;
}

} // namespace

LinkGridModel::LinkGridModel(QObject* parent)
    : QAbstractTableModel(parent), cells_(std::make_shared<const TStringList>()) {}

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

void LinkGridModel::SetCells(std::shared_ptr<const TStringList> list, int fields) {
    if (fields < 1 || fields > kRecordSize || !list)
        throw std::invalid_argument("LinkGridModel: a list and 1 to 4 fields a record");
    cells_ = std::move(list);
    utf8_ = ReadsAsUtf8(*cells_);
    fields_ = fields;
    records_ = cells_->Count() / fields;
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
    if (item >= cells_->Count())
        return {};
    return cells_->Get(static_cast<int>(item));
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
    return DisplayText(bytes, utf8_); // decoded here, for the few cells on screen
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
