// Times the link list window's edits on one large data file, in the real application on the
// platform Qt is given (offscreen for the figures), and reports the memory they cost:
//
//   qvn-gui-edit-bench DATA
//
// DATA is loaded with "読み込み" and then edited and saved in place, so the driver hands over a
// copy. Each edit is made at the top of the list, as the user makes it (the current cell, then the
// button or key), and timed in milliseconds of wall time from the click to the grid repainted;
// every edit is made `kRounds` times and the slowest time is reported:
//   add       "追加" with the first row current (a new site after it)
//   delete    "削除" of the first row
//   up, down  "上へ" on the second row, "下へ" on the first
//   edit      a new site name committed in the first row's cell
//   undo      Ctrl+Z of the last edit
// and, before the edits, the slowest arrow key (arrow_ms) in the first two rows and columns, each
// timed from the key to the grid repainted.
// then "保存" (save_ms), after a sync of the disks, as the floor it is held against. Memory, in KiB: the resident set after the load (loaded_kib), after the
// edits (edited_kib) and the peak during the save (save_peak_kib; the peak is reset just before
// the click through /proc/self/clear_refs). Output is one line of key=value pairs.
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
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using qvn::test::Control;
using qvn::test::Settle;

constexpr int kRounds = 5;

double Milliseconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

long StatusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(key + ":"))
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !std::filesystem::is_regular_file(argv[1])) {
        std::fprintf(stderr, "usage: qvn-gui-edit-bench DATA\n");
        return 2;
    }
    QApplication app(argc, argv);
    qvn::ui::InitApplication(app);
    const qvn::ui::Forms forms = qvn::ui::CreateForms(qvn::Setting);
    TfrmTable& table = *forms.frmTable;
    auto& grid = *Control<QTableView>(&table, "sgLinkList");
    auto button = [&](const char* name) { return Control<QPushButton>(&table, name); };
    table.show();
    Settle(grid.viewport());

    Control<QLineEdit>(&table, "edPath")->setText(QString::fromLocal8Bit(argv[1]));
    button("btnLoad")->click();
    Settle(grid.viewport());
    const int records = grid.model()->rowCount();
    const long loadedKiB = StatusKiB("VmRSS");

    QElapsedTimer clock;
    // The slowest of kRounds runs of action, each after prepare.
    auto time = [&](auto prepare, auto action) {
        double slowest = 0;
        for (int i = 0; i < kRounds; ++i) {
            prepare();
            Settle(grid.viewport());
            clock.restart();
            action();
            Settle(grid.viewport());
            slowest = std::max(slowest, Milliseconds(clock));
        }
        return slowest;
    };
    auto current = [&](int row) {
        return [&grid, row] { grid.setCurrentIndex(grid.model()->index(row, 0)); };
    };
    double arrowMs = 0;
    grid.setFocus();
    current(0)();
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up}) {
        const double ms = time([] {}, [&] { qvn::test::SendKey(&grid, key); });
        arrowMs = std::max(arrowMs, ms);
    }
    const double addMs = time(current(0), [&] { button("btnAdd")->click(); });
    const double deleteMs = time(current(0), [&] { button("btnDelete")->click(); });
    const double upMs = time(current(1), [&] { button("btnUp")->click(); });
    const double downMs = time(current(0), [&] { button("btnDown")->click(); });
    int n = 0;
    const double editMs = time(current(0), [&] {
        grid.model()->setData(grid.model()->index(0, 0), QStringLiteral("site %1").arg(++n),
                              Qt::EditRole);
    });
    const double undoMs =
        time([] {}, [&] { qvn::test::SendKey(&grid, Qt::Key_Z, Qt::ControlModifier); });
    const long editedKiB = StatusKiB("VmRSS");

    // As the floor it is held against, the save starts with nothing else waiting for the disk.
    ::sync();
    std::ofstream("/proc/self/clear_refs") << "5";
    clock.restart();
    button("btnSave")->click();
    const double saveMs = Milliseconds(clock);
    const long savePeakKiB = StatusKiB("VmHWM");

    std::printf(
        "records=%d arrow_ms=%.2f add_ms=%.2f delete_ms=%.2f up_ms=%.2f down_ms=%.2f edit_ms=%.2f "
        "undo_ms=%.2f save_ms=%.1f loaded_kib=%ld edited_kib=%ld save_peak_kib=%ld\n",
        records, arrowMs, addMs, deleteMs, upMs, downMs, editMs, undoMs, saveMs, loadedKiB,
        editedKiB, savePeakKiB);
    delete forms.frmMain;
    return records > 0 ? 0 : 1;
}
