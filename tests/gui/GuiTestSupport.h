// Helpers for driving the real windows in tests on the offscreen platform: finding a window's
// controls, and answering the modal windows a command opens.
#pragma once

#include "Forms.h"
#include "TempDir.h"
#include "UDec.h"

#include <QMessageBox>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

class QFileDialog;

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace qvn::test {

// The application's windows, created once by the test main exactly as qvn1 creates them.
const ui::Forms& AppForms();

// The settings record the windows were made with.
TSetting& AppSetting();

// Ends the application's windows and creates them anew, with a new settings record, as a fresh
// start of the program would: for tests of the state at start-up, which must not depend on what
// the tests before them did.
void StartAfresh();

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

// A path as the windows show it in their edits and messages: with the system's own separators,
// backslashes on Windows.
inline QString Shown(QString path) {
#ifdef _WIN32
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
#endif
    return path;
}
inline QString Shown(const std::string& path) {
    return Shown(QString::fromStdString(path));
}

// Runs action on the next modal window (message box, dialog) once it is shown, from the event
// loop of the code that opened it. Call before the action that opens it. The action must close
// the window. Fails the test if no modal window appears within timeoutMs.
void WhenModal(std::function<void(QWidget* modal)> action, int timeoutMs = 5000);

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
