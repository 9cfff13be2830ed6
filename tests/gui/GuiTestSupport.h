// Helpers for driving the real windows in tests on the offscreen platform.
#pragma once

#include "Forms.h"

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

// A fresh temporary folder for one test, removed with this object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const; // UTF-8 path of name in the folder
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

private:
    std::string dir_;
};

} // namespace qvn::test
