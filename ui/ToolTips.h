// Tooltips that go with their window's size: a tooltip stands where the pointer was over a
// control, and a window resized under it leaves it over something else, or over nothing.
#pragma once

class QApplication;

namespace qvn::ui {

// Installs the rule once for the whole application: a window that is resized or moved hides the
// tooltip shown.
void HideToolTipsOnResize(QApplication& app);

} // namespace qvn::ui
