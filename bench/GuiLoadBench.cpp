// Times the link list window's "読み込み" command on one data file, in the real application on
// the platform Qt is given (offscreen for the figures), and reports the process's peak memory:
//
//   qvn-gui-load-bench [--twice] [--save TEMPLATE PAGE] DATA
//
// The application and its windows are built as qvn1 builds them and the link list window is
// shown. Then, each in milliseconds of wall time:
//   load      from the click on "読み込み" to the grid laid out and painted (the click's own work,
//             then the events it posted: the view's layout, scroll bars and the repaint)
//   reload    with --twice, the same click again, with the first load's lists still held
//   last row  scrolling to the last row and painting it
//   first row scrolling back to the first row and painting it
//   save      with --save, "編集/出力" in the main window with TEMPLATE, saving to PAGE, from the
//             click to the confirmation (closed at once); it includes the check of both inputs
//             that runs before the save dialog
//   check     with --save, that check alone (check::CheckInputs on DATA and TEMPLATE), run once
//             more after the save, in wall time and in the CPU time of all the process's threads
//             (which a machine busy with other work does not stretch)
// and finally the peak resident set of the process (KiB) and the data file's size (bytes). With
// --save, also the resident set before the save and the peak during it (KiB): the peak is reset
// just before the click, through /proc/self/clear_refs.
// Output is one line of key=value pairs for the driver script.
#include "Check.h"
#include "FileDialog.h"
#include "Forms.h"
#include "UDec.h"
#include "UList.h"
#include "UMain1.h"
#include "WindowDriver.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

using qvn::test::Control;
using qvn::test::Settle;

double Milliseconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A line "Key:   N kB" of /proc/self/status, in KiB.
long StatusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(key + ":"))
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

// Starts counting the peak resident set afresh from the current one.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

int main(int argc, char** argv) {
    bool twice = false;
    const char* data = nullptr;
    const char* templ = nullptr;
    const char* page = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--twice") == 0) {
            twice = true;
        } else if (std::strcmp(argv[i], "--save") == 0 && i + 2 < argc) {
            templ = argv[++i];
            page = argv[++i];
        } else {
            data = argv[i];
        }
    }
    if (!data) {
        std::fprintf(stderr, "usage: qvn-gui-load-bench [--twice] [--save TEMPLATE PAGE] DATA\n");
        return 2;
    }
    if (!std::filesystem::is_regular_file(data)) {
        std::fprintf(stderr, "qvn-gui-load-bench: no data file %s\n", data);
        return 2;
    }

    QApplication app(argc, argv);
    qvn::ui::InitApplication(app);
    const qvn::ui::Forms forms = qvn::ui::CreateForms();
    TfrmTable& table = *forms.frmTable;
    auto& grid = *Control<QTableView>(&table, "sgLinkList");
    auto& path = *Control<QLineEdit>(&table, "edPath");
    auto& load = *Control<QPushButton>(&table, "btnLoad");
    table.show();
    Settle(grid.viewport());
    const long idleKiB = PeakKiB();

    path.setText(QString::fromLocal8Bit(data));
    QElapsedTimer clock;
    clock.start();
    load.click();
    Settle(grid.viewport());
    const double loadMs = Milliseconds(clock);
    const int rows = grid.model()->rowCount() + 1; // and the header row

    double reloadMs = 0;
    if (twice) {
        clock.restart();
        load.click();
        Settle(grid.viewport());
        reloadMs = Milliseconds(clock);
    }

    clock.restart();
    grid.scrollToBottom();
    Settle(grid.viewport());
    const double lastMs = Milliseconds(clock);
    clock.restart();
    grid.scrollToTop();
    Settle(grid.viewport());
    const double firstMs = Milliseconds(clock);

    const long peakKiB = PeakKiB();

    double saveMs = 0;
    double checkMs = 0;
    double checkCpuMs = 0;
    long beforeSaveKiB = 0;
    long saveKiB = 0;
    if (templ) {
        TfrmMain& main = *forms.frmMain;
        Control<QLineEdit>(&main, "edPath")->setText(QString::fromLocal8Bit(templ));
        qvn::ui::FileDialog::SetNextFileName(QString::fromLocal8Bit(page));
        // The confirmation is closed as soon as it shows: looked for at every pass of its loop.
        qvn::test::OnNextModal([](QWidget* modal) { modal->close(); }, {}, 600000, 0);
        beforeSaveKiB = StatusKiB("VmRSS");
        ResetPeak();
        clock.restart();
        Control<QPushButton>(&main, "Button2")->click();
        saveMs = Milliseconds(clock);
        saveKiB = StatusKiB("VmHWM");
        clock.restart();
        const double cpu = CpuMilliseconds();
        const auto findings = qvn::check::CheckInputs(data, templ, qvn::Setting.GetTokens());
        checkMs = Milliseconds(clock);
        checkCpuMs = CpuMilliseconds() - cpu;
        if (findings.errors + findings.warnings > 0)
            std::fprintf(stderr, "qvn-gui-load-bench: the check found something: no dialog "
                                 "may stand in the save's time\n");
    }

    std::printf("rows=%d load_ms=%.1f reload_ms=%.1f last_row_ms=%.2f first_row_ms=%.2f "
                "idle_kib=%ld peak_kib=%ld file_bytes=%lld save_ms=%.1f check_ms=%.1f "
                "check_cpu_ms=%.1f before_save_kib=%ld save_peak_kib=%ld\n",
                rows, loadMs, reloadMs, lastMs, firstMs, idleKiB, peakKiB,
                static_cast<long long>(std::filesystem::file_size(data)), saveMs, checkMs,
                checkCpuMs, beforeSaveKiB, saveKiB);
    delete forms.frmMain;
    return rows > 1 ? 0 : 1;
}
