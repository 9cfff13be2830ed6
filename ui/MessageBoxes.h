// The program's two message boxes: the error box and the plain confirmation.
#pragma once

#include <string_view>

class QWidget;

namespace qvn::ui {

// The error box: caption the application title, the stop icon, one OK, modal. cp932Message is
// the failure's text as the core made it; the full-stop rule is applied here.
void ShowErrorBox(QWidget* parent, std::string_view cp932Message);

// A plain message: caption the application title, no icon, no sound, one "OK" answering Enter
// and Esc, centred on the screen.
void ShowPlainMessage(QWidget* parent, std::string_view cp932Message);

} // namespace qvn::ui
