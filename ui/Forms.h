// The program's four windows, created once at start-up and living until the main window closes.
#pragma once

class TfrmMain;
class TfrmTable;
class TfrmVer;
class TfrmSetting;
class QApplication;

namespace qvn {
struct TSetting;
}

namespace qvn::ui {

// Application-wide set-up before any window exists: the mapping of the windows' Japanese font
// names to fonts this system has, the Enter key on push buttons, tooltips that go when their
// window is resized, Qt's own texts in Japanese, the application icon and the desktop file name.
void InitApplication(QApplication& app);

struct Forms {
    TfrmMain* frmMain = nullptr;
    TfrmTable* frmTable = nullptr;
    TfrmVer* frmVer = nullptr;
    TfrmSetting* frmSetting = nullptr;
};

// Creates the windows in the order main window, link list window, About box, settings dialog,
// each running its creation handler as it is made, and hands the windows that work on the
// settings record that record. The main window owns the other three and shows them modally.
Forms CreateForms(TSetting& setting);

} // namespace qvn::ui
