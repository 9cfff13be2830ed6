// The program's message boxes: the error box, the plain confirmation and the save dialog's
// question before it replaces a file.
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

// The save dialog's question when the chosen file exists, as Windows' save dialog asks it:
// 「NAME は既に存在します。置き換えますか?」 with 「はい」 and 「いいえ」. True for 「はい」; 「いいえ」,
// Enter (its default) and Esc answer false, so no key pressed in haste replaces a file.
bool ConfirmReplace(QWidget* parent, const QString& fileName);

} // namespace qvn::ui
