// Helpers for driving the real windows in tests on the offscreen platform.
#pragma once

#include "Forms.h"
#include "TempDir.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace qvn::test {

// The application's windows, created once by the test main exactly as qvn1 creates them.
const ui::Forms& AppForms();

// Runs action on the next modal window (message box, dialog) once it is shown, from the event
// loop of the code that opened it. Call before the action that opens it. The action must close
// the window. Fails the test if no modal window appears within timeoutMs.
void WhenModal(std::function<void(QWidget* modal)> action, int timeoutMs = 5000);

// Processes events until no modal window is open (or timeoutMs runs out).
void WaitNoModal(int timeoutMs = 5000);

} // namespace qvn::test
