// main() for the window tests: builds the application and its four windows as qvn1 does, then
// runs the tests against them.
#include "GuiTestSupport.h"
#include "UDec.h"
#include "UMain1.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace qvn::test {
namespace {
ui::Forms forms;
std::unique_ptr<TSetting> setting;
} // namespace

const ui::Forms& AppForms() {
    return forms;
}

TSetting& AppSetting() {
    return *setting;
}

void StartAfresh() {
    delete forms.frmMain; // and with it the other three windows
    setting = std::make_unique<TSetting>();
    forms = ui::CreateForms(*setting);
}

} // namespace qvn::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // CTest sets the platform for the runs, but not for listing the cases at build time
    // (gtest_discover_tests), which needs the application too and must not need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef QVN_TEST_FONT_DIR
    // The offscreen platform on Windows draws with the fonts of one folder, never the system's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", QVN_TEST_FONT_DIR);
#endif
    // Qt's file dialog keeps its column sizes, folder history and places in the user's settings:
    // a run of its own, so a test neither sees an earlier run's nor leaves its own behind.
    const qvn::test::TempDir settings;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(settings.Dir()));
    QApplication app(argc, argv);
    qvn::ui::InitApplication(app);
    qvn::test::StartAfresh();
    const int status = RUN_ALL_TESTS();
    delete qvn::test::forms.frmMain;
    return status;
}
