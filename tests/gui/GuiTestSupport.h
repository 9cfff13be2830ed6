// What the window tests share beside the window driver: the application's windows as the test
// main builds them, paths as the windows show them, and a modal window that must come.
#pragma once

#include "Forms.h"
#include "TempDir.h"
#include "UDec.h"
#include "WindowDriver.h"

#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

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

// Runs action on the next modal window once it is shown (OnNextModal); fails the test if none
// appears within timeoutMs.
inline void WhenModal(std::function<void(QWidget* modal)> action, int timeoutMs = 5000) {
    OnNextModal(
        std::move(action), [] { ADD_FAILURE() << "no modal window appeared"; }, timeoutMs);
}

} // namespace qvn::test
