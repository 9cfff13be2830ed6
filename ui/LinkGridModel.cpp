#include "LinkGridModel.h"

#include "Codec.h"
#include "Text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <limits>
#include <stdexcept>

namespace qvn::ui {
namespace {

// The start of a field as a cell shows it: at most LinkGridModel::kShownBytes bytes, cut where a
// character starts, so that no character is shown broken.
std::string_view ShownPart(std::string_view bytes, bool utf8) {
    if (bytes.size() <= LinkGridModel::kShownBytes)
        return bytes;
    std::size_t end = 0;
    for (;;) {
        const std::string_view rest = bytes.substr(end);
        const std::size_t n = utf8 ? Utf8CharLength(rest) : Cp932CharLength(rest);
        if (end + n > LinkGridModel::kShownBytes)
            return bytes.substr(0, end);
        end += n;
    }
}

} // namespace

LinkGridModel::LinkGridModel(QObject* parent)
    : QAbstractTableModel(parent), table_(std::make_shared<TLinkTable>()) {}

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

void LinkGridModel::SetTable(std::shared_ptr<TLinkTable> table, int fields) {
    if (fields < 1 || fields > static_cast<int>(kLinkFields) || !table)
        throw std::invalid_argument("LinkGridModel: a table and 1 to 4 fields a record");
    table_ = std::move(table);
    fields_ = fields;
    urlIndex_.clear();
    rowUrl_.clear();
    verdicts_.clear();
    if (rows_ < Records())
        SetRowCount(Records() + 1);
    Changed(0, rows_ - 1);
    if (rows_ > 0)
        emit headerDataChanged(Qt::Vertical, 0, rows_ - 1); // rows that gained or lost a site
}

void LinkGridModel::Changed(int first, int last, const QList<int>& roles) {
    last = std::min(last, rows_ - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, kGridColumns - 2), roles);
}

void LinkGridModel::IndexUrls(int first, int last) {
    if (verdicts_.empty())
        return;
    for (int row = first; row <= last; ++row) {
        const auto it = urlIndex_.find(std::string(table_->Field(row, kURL)));
        rowUrl_[static_cast<std::size_t>(row)] = it == urlIndex_.end() ? kNoUrl : it->second;
    }
}

void LinkGridModel::PutRecord(int row, const TLinkTable::Record& record) {
    table_->Put(row, record);
    IndexUrls(row, row);
    Changed(row, row);
}

void LinkGridModel::InsertRecords(int row, const std::vector<TLinkTable::Record>& records) {
    const int count = static_cast<int>(records.size());
    SetRowCount(std::max(rows_ - count, Records()) + 1); // the empty rows the records replace
    beginInsertRows({}, row, row + count - 1);
    table_->Insert(row, records);
    rows_ += count;
    if (!verdicts_.empty())
        rowUrl_.insert(rowUrl_.begin() + row, records.size(), kNoUrl);
    IndexUrls(row, row + count - 1);
    endInsertRows();
}

std::vector<TLinkTable::Record> LinkGridModel::RemoveRecords(int row, int count) {
    beginRemoveRows({}, row, row + count - 1);
    std::vector<TLinkTable::Record> removed = table_->Remove(row, count);
    if (!verdicts_.empty())
        rowUrl_.erase(rowUrl_.begin() + row, rowUrl_.begin() + row + count);
    rows_ -= count;
    endRemoveRows();
    SetRowCount(rows_ + count + 1); // as many empty rows at the end
    return removed;
}

void LinkGridModel::MoveRecord(int from, int to) {
    if (from == to)
        return; // Qt has no move for a row that stays
    // Before the row that ends up after it, as Qt counts rows before the move.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    table_->Move(from, to);
    IndexUrls(std::min(from, to), std::max(from, to));
    endMoveRows();
}

void LinkGridModel::SetHeaderText(int col, const QString& text) {
    if (col < 1 || col >= kGridColumns)
        throw std::out_of_range("LinkGridModel: header column");
    headers_[static_cast<std::size_t>(col)] = text;
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
}

std::vector<std::string> LinkGridModel::ResetVerdicts() {
    urlIndex_.clear();
    rowUrl_.clear();
    std::vector<std::string> urls;
    for (int row = 0; row < Records(); ++row) {
        std::string url(table_->Field(row, kURL));
        const auto [it, fresh] = urlIndex_.emplace(url, urls.size());
        if (fresh)
            urls.push_back(std::move(url));
        rowUrl_.push_back(it->second);
    }
    verdicts_.assign(urls.size(), std::nullopt);
    Changed(0, rows_ - 1, {Qt::BackgroundRole, Qt::ToolTipRole});
    return urls;
}

const LinkGridModel::Verdict* LinkGridModel::SetVerdict(std::size_t url, Verdict verdict) {
    if (url >= verdicts_.size())
        return nullptr;
    verdicts_[url] = std::move(verdict);
    Changed(0, rows_ - 1, {Qt::BackgroundRole, Qt::ToolTipRole});
    return &*verdicts_[url];
}

std::string_view LinkGridModel::Field(int record, int field) const {
    if (record < 0 || record >= Records() || field < 0 || field >= fields_)
        return {};
    const std::string_view line = table_->Line(record);
    if (record != cachedRow_ || line.data() != cachedLine_.data() ||
        line.size() != cachedLine_.size()) {
        cachedFields_ = table_->Fields(record);
        cachedRow_ = record;
        cachedLine_ = line;
    }
    return cachedFields_[static_cast<std::size_t>(field)];
}

int LinkGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int LinkGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumns - 1;
}

QVariant LinkGridModel::data(const QModelIndex& index, int role) const {
    const Verdict* verdict = VerdictOf(index.row());
    if (verdict && role == Qt::BackgroundRole)
        return verdict->colour;
    if (verdict && role == Qt::ToolTipRole)
        return verdict->text;
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid())
        return {};
    std::string_view bytes = Field(index.row(), index.column());
    if (bytes.empty())
        return QString();
    if (role == Qt::DisplayRole)
        bytes = ShownPart(bytes, table_->Utf8());
    return FileText(bytes, table_->Utf8()); // decoded here, for the few cells on screen
}

QVariant LinkGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    // A row's number says that it holds a site, an empty line of the file included; the empty
    // rows after the last site only fill the grid, and have none.
    if (orientation == Qt::Vertical)
        return section < Records() ? QString::number(section + 1) : QString();
    if (section < 0 || section >= kGridColumns - 1)
        return {};
    return headers_[static_cast<std::size_t>(section + 1)];
}

Qt::ItemFlags LinkGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // The rows past the last record show no site: a site is added with its button first.
    return index.row() < Records() && index.column() < fields_ ? flags | Qt::ItemIsEditable : flags;
}

bool LinkGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    emit CellEdited(index.row(), index.column(), value.toString());
    return true;
}

void LinkCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    // What is drawn is cut to the viewport first: a cell can be a million pixels wide, and a
    // focus frame along all of it costs a second a key. Edges just outside stay outside.
    QRect area = option.rect;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        area &= view->viewport()->rect().adjusted(-4, -4, 4, 4);
    if (area.isEmpty())
        return;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(area, option.palette.brush(QPalette::Highlight));
    else if (const QVariant background = index.data(Qt::BackgroundRole); background.isValid())
        painter->fillRect(area, background.value<QColor>());
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        painter->save();
        painter->setClipRect(area);
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
        focus.rect = area.adjusted(1, 1, -1, -1);
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

QSize LinkCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return option.rect.size();
}

QWidget* LinkCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
    // A plain line edit the size of the cell: the default one measures its whole text to grow
    // with it, which a very long field makes slow at every key.
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    // A line edit cuts its text at 32767 characters unless told otherwise: a long field would
    // lose its end on the first edit.
    editor->setMaxLength(std::numeric_limits<int>::max());
    return editor;
}

} // namespace qvn::ui
