// Enter on a focused push button presses it, in every window and in Qt's own dialogs alike: on
// the system's home platform Enter presses the button that has the focus, as Space does. Qt
// leaves that to dialogs' auto-default buttons only, so a main window's buttons, and a dialog's
// buttons that must not become its default, would otherwise ignore Enter.
#pragma once

class QApplication;

namespace qvn::ui {

// Installs the rule once for the whole application. Enter or the keypad's Enter, with no other
// modifier, on an enabled push button clicks it; held down, the key presses it once. Every other
// key, and Enter on any other control, goes where it went before.
void PressFocusedButtonsOnEnter(QApplication& app);

} // namespace qvn::ui
