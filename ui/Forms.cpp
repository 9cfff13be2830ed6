#include "Forms.h"

#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QApplication>

namespace qvn::ui {

void InitApplication(QApplication& app) { (void)app; }

Forms CreateForms() {
    Forms f;
    f.frmMain = new TfrmMain;
    f.frmTable = new TfrmTable(f.frmMain);
    f.frmVer = new TfrmVer(f.frmMain);
    f.frmSetting = new TfrmSetting(f.frmMain);
    return f;
}

} // namespace qvn::ui
