// qvn1: start-up. Creates the application and its four windows, then runs until the main window
// closes.
#include "Forms.h"
#include "UMain1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qvn::ui::InitApplication(app);
    const qvn::ui::Forms forms = qvn::ui::CreateForms();
    forms.frmMain->show();
    const int status = app.exec();
    delete forms.frmMain; // and with it the other three windows
    return status;
}
