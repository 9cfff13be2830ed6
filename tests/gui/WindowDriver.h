// Driving the real windows from code as the user drives them, for the window tests and the window
// benchmarks alike: finding a window's controls, keys, typed text and drops, letting a window
// settle, and answering the modal windows a command opens.
#pragma once

#include <QMessageBox>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class QFileDialog;
class QMimeData;

namespace qvn::test {

// The window an object belongs to: the window of the nearest widget above it. A menu, a window of
// its own, belongs to the window of the menu bar that holds it.
QWidget* OwningWindow(const QObject* object);

// The control (widget, action or menu) named name that belongs to window itself, not to another
// window it holds: the main window holds the link list window, whose controls share names with
// its own. Never null: std::logic_error names the control when there is none.
template <typename T> T* Control(QWidget* window, const char* name) {
    for (T* c : window->findChildren<T*>(QString::fromLatin1(name))) {
        if (OwningWindow(c) == window)
            return c;
    }
    throw std::logic_error(std::string("no control ") + name);
}

// Gives widget the focus and presses key there, as the keyboard does (Enter is the keypad's).
void PressFocused(QWidget* widget, Qt::Key key);

// Sends a key's press and release straight to target, leaving the application's own record of
// held modifiers alone.
void SendKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Text as a Japanese input method commits it: a whole string at once.
void CommitText(QWidget* target, const QString& text);

// Drags mime over target at `at` and drops it there, as the window system delivers a drop.
struct Dropped {
    bool entered; // the drag was let in
    bool taken;   // the drop was taken
};
Dropped Drop(QObject* target, QPoint at, const QMimeData& mime);

// Lets the windows finish what the last action posted (layout, scroll bars, painting), then
// paints widget once more at once: the user would see it ready.
void Settle(QWidget* widget);

// Runs action on the next modal window (message box, dialog) once it is shown, from the event
// loop of the code that opened it, looking every intervalMs; call before the action that opens
// it, and close the window in action. Runs onNone instead if none shows within timeoutMs.
void OnNextModal(std::function<void(QWidget* modal)> action, std::function<void()> onNone,
                 int timeoutMs = 5000, int intervalMs = 10);

// Processes events until no modal window is open (or timeoutMs runs out).
void WaitNoModal(int timeoutMs = 5000);

// What the user saw of one modal window, and how it went away.
struct SeenModal {
    QPointer<QWidget> widget; // null once the window is gone, so a new one at its address is new
    QString className;
    QString title;
    QString text;
    QString informativeText; // a message box's text under its message
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QRect frame;
    QRect screen;
    bool closedByKey = false; // a message box that the answering key closed
};

// Watches for modal windows while it lives and answers each one: a message box with the given
// key (it must close on that key; otherwise it is closed by force and not marked closed by key),
// a file dialog through onFileDialog when given, any other dialog by cancelling it. Every window
// seen is recorded in order.
class ModalLog {
public:
    explicit ModalLog(Qt::Key answer = Qt::Key_Return,
                      std::function<void(QFileDialog*)> onFileDialog = {});

    const std::vector<SeenModal>& Seen() const { return seen_; }

private:
    void Poll();

    Qt::Key answer_;
    std::function<void(QFileDialog*)> onFileDialog_;
    QTimer timer_;
    std::vector<SeenModal> seen_;
};

} // namespace qvn::test
