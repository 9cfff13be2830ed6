// qvn1: start-up. Creates the application and its four windows, then runs until the main window
// closes.
#include "Forms.h"
#include "UDec.h"
#include "UMain1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qvn::ui::InitApplication(app);
    const qvn::ui::Forms forms = qvn::ui::CreateForms(qvn::Setting);
    // The help page lies at a fixed place relative to the program, in the build tree as after
    // installation, so it is found wherever the program was installed.
    forms.frmMain->SetHelpFile(QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/" QVN_HELP_FROM_BINDIR)));
    forms.frmMain->show();
    const int status = app.exec();
    delete forms.frmMain; // and with it the other three windows
    return status;
}
