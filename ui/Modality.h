// How far a modal window blocks: only the window it belongs to, and that window's owners, so the
// help window, a window of its own, stays usable (scroll, follow links, go back) beside any
// dialog, message box or file dialog, as a help window of the home platform does.
#pragma once

class QApplication;

namespace qvn::ui {

// Installs the rule once for the whole application: a window with an owner that is shown modal to
// the whole application (QDialog::exec, Qt's own message boxes and file dialogs) becomes modal to
// its owner's windows only. A window with no owner stays modal to the whole application.
void KeepModalsToTheirOwners(QApplication& app);

} // namespace qvn::ui
