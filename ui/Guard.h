// The one place where a command's failure turns into the error box. Exceptions must not travel
// through Qt's event code, so every command handler runs inside Guarded: a failure ends the
// command at that point, the error box shows it, and the window and the program go on.
#pragma once

#include "Codec.h"
#include "Errors.h"
#include "MessageBoxes.h"

#include <QObject>
#include <QWidget>
#include <exception>
#include <new>
#include <utility>

namespace qvn::ui {

template <typename Handler> void Guarded(QWidget* owner, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const Error& e) {
        ShowErrorBox(owner, e.Message());
    } catch (const std::bad_alloc&) {
        ShowErrorBox(owner, Utf8ToCp932("メモリが足りません"));
    } catch (const std::exception& e) {
        ShowErrorBox(owner, e.what());
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
