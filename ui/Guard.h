// The one place where a command's failure turns into the error box. Exceptions must not travel
// through Qt's event code, so every command handler runs inside Guarded: a failure ends the
// command at that point, the error box shows it, and the window and the program go on.
#pragma once

#include "Errors.h"
#include "MessageBoxes.h"

#include <QObject>
#include <QString>
#include <QWidget>
#include <exception>
#include <new>
#include <string>
#include <utility>

namespace qvn::ui {

// A failure that the error box shows with an explanation under its message (what the check of the
// inputs found), the message itself unchanged.
class ExplainedError : public Error {
public:
    ExplainedError(const Error& failure, QString explanation)
        : Error(failure), text_(QString::fromStdString(ErrorBoxText(failure))),
          explanation_(std::move(explanation)) {}
    const QString& Text() const { return text_; }
    const QString& Explanation() const { return explanation_; }

private:
    QString text_; // the failure's own box text, made while its type is still known
    QString explanation_;
};

template <typename Handler> void Guarded(QWidget* owner, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const ExplainedError& e) {
        ShowErrorBox(owner, e.Text(), e.Explanation());
    } catch (const Error& e) {
        ShowErrorBox(owner, QString::fromStdString(ErrorBoxText(e)));
    } catch (const std::bad_alloc&) {
        ShowErrorBox(owner, QStringLiteral("メモリが足りません."));
    } catch (const std::exception& e) {
        ShowErrorBox(owner, QString::fromStdString(ErrorBoxText(Error(e.what()))));
    }
}

// Connects signal to a handler member of window, run through Guarded.
template <typename Sender, typename Signal, typename Window>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, Window* window,
                                       void (Window::*handler)()) {
    return QObject::connect(sender, signal, window,
                            [window, handler] { Guarded(window, [&] { (window->*handler)(); }); });
}

} // namespace qvn::ui
