// Keys for the dialogs that have no default or cancel button.
#pragma once

#include <QKeyEvent>

namespace qvn::ui {

// A QDialog presses its default button on Enter and closes on Esc. For a window that has neither
// button these keys must do nothing: true (and the event taken) for Enter, Return and Esc.
inline bool SwallowEnterAndEsc(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return true;
    default:
        return false;
    }
}

} // namespace qvn::ui
