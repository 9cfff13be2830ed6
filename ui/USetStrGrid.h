// The link list grid's operations as a string grid has them: row count, column widths and the
// filling of its cells from a link table. The grid is a QTableView over a LinkGridModel;
// column 0 is its vertical header (the row numbers), columns 1 to 4 its model's columns.
#pragma once

#include "LinkTable.h"

#include <memory>

class QTableView;

namespace qvn::ui {

// Sets the grid rows (at least 1). Every row has the grid's one row height. The number column
// widens when the largest row number would not fit in it, so no number is ever shown cut off.
void SetRowCount(QTableView& grid, int count);

// Sets the width in pixels of grid column col (0 to 4), limited to what the header can hold (about
// a million pixels).
void SetColWidth(QTableView& grid, int col, long long width);

// Fills the grid from table: every non-fixed cell is cleared, then record r (from 1) goes into
// row r, its first `fields` fields in columns 1 to fields. A column narrower than 7 pixels a byte
// of its longest field widens to that; columns never narrow. The grid keeps the table, and shows
// its edits (no copy is made).
void SetStrGrid(QTableView& grid, std::shared_ptr<TLinkTable> table, int fields);

// Widens grid column col (1 to 4) to 7 pixels a byte of a field of that many bytes, when it is
// narrower.
void WidenForField(QTableView& grid, int col, std::size_t bytes);

} // namespace qvn::ui
