#include "ButtonKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace qvn::ui {
namespace {

class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    // Runs for every event of the application before its receiver sees it, so it does no more
    // than a type check for the others. A key event reaches a push button only when the button
    // has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled())
            return false;
        // A held key presses once, as Space does: its repeats are taken and do nothing, rather
        // than running the command again at the keyboard's repeat rate.
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

} // namespace

void PressFocusedButtonsOnEnter(QApplication& app) {
    app.installEventFilter(new EnterPressesButton(&app));
}

} // namespace qvn::ui
