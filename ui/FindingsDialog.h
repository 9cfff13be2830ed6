// The question before a page is built from inputs the check found fault with: the check's
// findings, one a line, and the choice to build the page all the same or to stop.
#pragma once

#include <QStringList>

class QWidget;

namespace qvn::ui {

// Shows the dialog "出力前の確認" over parent with the findings (one a line, scrolling when there
// are many) and the counts, and waits for the answer: true for "出力する", false for "やめる", Esc
// and the close box. "やめる" has the focus, so Enter alone does not build a faulty page.
bool ConfirmFindings(QWidget* parent, const QStringList& lines, long long errors,
                     long long warnings);

} // namespace qvn::ui
