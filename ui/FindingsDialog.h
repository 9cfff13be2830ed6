// The findings as the windows show them, and the question before a page is built from inputs the
// check found fault with: the findings, one a line, and the choice to build the page all the same
// or to stop.
#pragma once

#include "Findings.h"

#include <QStringList>

class QWidget;

namespace qvn::ui {

// A finding as the windows list it, "links.csv:2: 警告: …" with the file named without its
// folder, and its notes after it on lines of their own.
QStringList FindingLines(const Finding& finding);

// Shows the dialog "出力前の確認" over parent with the findings (one a line, wrapped at the width
// of the list, which grows with the dialog, and scrolling when there are many) and their summary, and waits for the answer: true for "出力する", false for "やめる",
// Esc and the close box. "やめる" has the focus, so Enter alone does not build a faulty page.
bool ConfirmFindings(QWidget* parent, const Findings& findings);

} // namespace qvn::ui
