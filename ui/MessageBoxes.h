// The program's two message boxes: the error box and the plain confirmation.
#pragma once

#include <QString>

class QWidget;

namespace qvn::ui {

// The error box: caption the application title, the stop icon, one OK, modal. text is the
// failure's text as the error box shows it (ErrorBoxText: the full stop applied, the system's
// reason after it); an explanation, when there is one, stands under it.
void ShowErrorBox(QWidget* parent, const QString& text, const QString& explanation = {});

// A plain message: caption the application title, no icon, no sound, one "OK" answering Enter
// and Esc, centred on the screen.
void ShowPlainMessage(QWidget* parent, const QString& message);

} // namespace qvn::ui
