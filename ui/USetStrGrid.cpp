#include "USetStrGrid.h"

#include "LinkGridModel.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace qvn::ui {
namespace {

constexpr int kPixelsPerByte = 7;
// Room around a row number: the text stands 2 pixels in from the left, as in every cell.
constexpr int kNumberPadding = 6;

// The grid's model; std::logic_error when the view shows anything else.
LinkGridModel& GridModel(const QTableView& grid) {
    auto* model = qobject_cast<LinkGridModel*>(grid.model());
    if (!model)
        throw std::logic_error("the link list grid has no LinkGridModel");
    return *model;
}

// The width in pixels of grid column col (0 to 4).
int ColWidth(const QTableView& grid, int col) {
    if (col == 0)
        return grid.verticalHeader()->minimumWidth();
    return grid.horizontalHeader()->sectionSize(col - 1);
}

} // namespace

void SetRowCount(QTableView& grid, int count) {
    GridModel(grid).SetRowCount(count);
    QHeaderView* numbers = grid.verticalHeader();
    const int widest = QFontMetrics(numbers->font()).horizontalAdvance(QString::number(count - 1));
    if (ColWidth(grid, 0) < widest + kNumberPadding)
        SetColWidth(grid, 0, widest + kNumberPadding);
}

void SetColWidth(QTableView& grid, int col, long long width) {
    if (col < 0 || col >= LinkGridModel::kGridColumns)
        throw std::out_of_range("SetColWidth: no such column");
    if (col == 0) {
        // The number column is the vertical header: its width is fixed, never taken from the
        // numbers (which would mean measuring a million of them).
        grid.verticalHeader()->setFixedWidth(static_cast<int>(std::clamp(width, 0LL, 100000LL)));
        return;
    }
    QHeaderView* header = grid.horizontalHeader();
    // The header ignores a size beyond its maximum outright; the widest it allows is better.
    const long long limit = header->maximumSectionSize();
    header->resizeSection(col - 1, static_cast<int>(std::clamp(width, 0LL, limit)));
}

void WidenForField(QTableView& grid, int col, std::size_t bytes) {
    const long long width = static_cast<long long>(
        std::min<std::size_t>(bytes, std::numeric_limits<int>::max()) * kPixelsPerByte);
    if (ColWidth(grid, col) < width)
        SetColWidth(grid, col, width);
}

void SetStrGrid(QTableView& grid, std::shared_ptr<TLinkTable> shared, int fields) {
    LinkGridModel& model = GridModel(grid);
    if (fields < 1 || fields > static_cast<int>(kLinkFields) || !shared)
        throw std::invalid_argument("SetStrGrid: a table and 1 to 4 fields a record");
    const TLinkTable& table = *shared;

    // One pass for the widest field of each column; widening to the maximum is the same as
    // widening cell by cell, since widths only grow.
    std::array<std::size_t, kLinkFields> longest{};
    for (int r = 0; r < table.Count(); ++r) {
        const TLinkRecord record = table.Fields(r);
        for (std::size_t k = 0; k < static_cast<std::size_t>(fields); ++k)
            longest[k] = std::max(longest[k], record[k].size());
    }
    for (int k = 0; k < fields; ++k)
        WidenForField(grid, k + 1, longest[static_cast<std::size_t>(k)]);
    model.SetTable(std::move(shared), fields);
}

} // namespace qvn::ui
