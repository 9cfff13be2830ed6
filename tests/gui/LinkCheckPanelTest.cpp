// The link list window's link check, against a scripted HTTP server on 127.0.0.1: progress and
// where the check stands, findings, a double-click on a finding selects its row, the row shows its
// verdict's colour, and 「中止」 or closing the window stops a check that is waiting on a server;
// the verdicts stay with their sites when the list is edited during the check or after it.
#include "GuiTestSupport.h"
#include "HttpFixture.h"
#include "UList.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

namespace qvn::test {
namespace {

using Reply = HttpFixture::Reply;

class LinkCheckPanelTest : public ::testing::Test {
protected:
    LinkCheckPanelTest()
        : server_({"127.0.0.1"}, 0, [](const HttpFixture::Request& r, int) {
              Reply reply;
              if (r.path == "/gone")
                  reply.status = 404;
              else if (r.path == "/moved")
                  reply.headers = {{"Location", "/ok"}}, reply.status = 301;
              else if (r.path == "/stall")
                  reply.action = Reply::Stall;
              else if (r.path == "/late")
                  reply.status = 404, reply.delay = std::chrono::milliseconds(1500);
              return reply;
          }) {
        qputenv("no_proxy", "*"); // every request stays on loopback
        Table().show();
        Grid().clearSelection(); // a selected row is painted over its verdict's colour
    }
    ~LinkCheckPanelTest() override { Table().hide(); }

    TfrmTable& Table() { return *AppForms().frmTable; }
    template <typename T> T& Find(const char* name) { return *Control<T>(&Table(), name); }

    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(server_.Port()) + path;
    }

    // Loads one data line a path.
    void Load(const std::vector<std::string>& paths) {
        std::string lines;
        for (const std::string& path : paths)
            lines += "site," + Url(path) + ",admin,about\r\n";
        dir_.Write("links.csv", lines);
        Find<QLineEdit>("edPath").setText(QString::fromStdString(dir_.Path("links.csv")));
        Find<QPushButton>("btnLoad").click();
    }

    // Loads one data line a path, and presses 「リンクチェック」.
    void Check(const std::vector<std::string>& paths) {
        Load(paths);
        Find<QPushButton>("btnLinkCheck").click();
    }

    QString Status() { return Find<QLabel>("lbLinkCheckStatus").text(); }

    // Processes events until the check is no longer under way; false after timeoutMs.
    bool WaitForTheEnd(int timeoutMs) {
        return QTest::qWaitFor([this] { return Find<QPushButton>("btnLinkCheck").isEnabled(); },
                               timeoutMs);
    }

    QTableView& Grid() { return Find<QTableView>("sgLinkList"); }

    // The findings' texts, top to bottom.
    QStringList Findings() {
        QListWidget& findings = Find<QListWidget>("lbFindings");
        QStringList texts;
        for (int i = 0; i < findings.count(); ++i)
            texts << findings.item(i)->text();
        return texts;
    }

    // The colour painted under the last cell of a record's row, away from its text.
    QColor ColourOf(int record) {
        const QImage shot = Grid().viewport()->grab().toImage();
        const QRect cell = Grid().visualRect(Grid().model()->index(record, 3));
        return shot.pixelColor(cell.right() - 3, cell.bottom() - 3);
    }

    // Makes the first cell of a record's row the current one.
    void Select(int record) {
        Grid().setCurrentIndex(Grid().model()->index(record, 0));
        Grid().selectionModel()->select(Grid().currentIndex(), QItemSelectionModel::ClearAndSelect);
    }

    // Double-clicks the finding that starts with prefix; the grid's selected rows after it.
    std::vector<int> DoubleClickFinding(const QString& prefix) {
        QListWidget& findings = Find<QListWidget>("lbFindings");
        for (int i = 0; i < findings.count(); ++i) {
            if (findings.item(i)->text().startsWith(prefix))
                emit findings.itemDoubleClicked(findings.item(i));
        }
        std::vector<int> rows;
        for (const QModelIndex& row : Grid().selectionModel()->selectedRows())
            rows.push_back(row.row());
        return rows;
    }

    // Triggers the window's Ctrl+Z action: a simulated key press would leave the application's
    // modifier state held for the tests after this one.
    void Undo() {
        for (QAction* action : Table().actions()) {
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_Z))
                action->trigger();
        }
    }

    QString Dead(const std::string& path) {
        return QStringLiteral("エラー: ") + QString::fromStdString(Url(path)) +
               QStringLiteral(": リンク切れです (HTTP 404)");
    }

    HttpFixture server_;
    TempDir dir_;
};

const QColor kRed(0xff, 0xc8, 0xc8), kGreen(0xd8, 0xf5, 0xd8);

TEST_F(LinkCheckPanelTest, FindingsProgressColourAndADoubleClickSelectingTheRow) {
    Load({"/ok", "/gone", "/moved", "/gone"});
    EXPECT_EQ(Find<QProgressBar>("pbLinkCheck").text(), QString()) << "a count before a check";
    Find<QPushButton>("btnLinkCheck").click();
    EXPECT_FALSE(Find<QPushButton>("btnLinkCheck").isEnabled());
    EXPECT_TRUE(Find<QPushButton>("btnStop").isEnabled());
    ASSERT_TRUE(WaitForTheEnd(10000));
    EXPECT_FALSE(Find<QPushButton>("btnStop").isEnabled());

    const QProgressBar& progress = Find<QProgressBar>("pbLinkCheck");
    EXPECT_EQ(progress.maximum(), 3); // distinct URLs
    EXPECT_EQ(progress.value(), 3);
    // Counted a row each, as qvn-build --check-links counts a line each.
    EXPECT_EQ(Status(), QStringLiteral("エラー 2 件、警告 1 件、注記 0 件。"));

    EXPECT_EQ(Findings(), // in the order of the lines
              (QStringList{
                  QStringLiteral("2 行: ") + Dead("/gone"),
                  QStringLiteral("3 行: 警告: ") + QString::fromStdString(Url("/moved")) +
                      QStringLiteral(": 移転しています (HTTP 301): ") +
                      QString::fromStdString(Url("/ok")),
                  QStringLiteral("4 行: ") + Dead("/gone"),
              }));

    // The dead link's row is painted red under its text, the healthy one green, and a cell shows
    // its row's message as a tooltip.
    EXPECT_EQ(ColourOf(1), kRed);
    EXPECT_EQ(ColourOf(0), kGreen);
    QHelpEvent tip(QEvent::ToolTip, Grid().visualRect(Grid().model()->index(1, 2)).center(), {});
    QApplication::sendEvent(Grid().viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), Dead("/gone"));
    QToolTip::hideText();

    // A double-click on the finding of line 4 selects the fourth record's row.
    EXPECT_EQ(DoubleClickFinding(QStringLiteral("4 行")), std::vector<int>{3});
}

// The row still waiting for its verdict is marked until the check stops, which then says how far
// it came.
TEST_F(LinkCheckPanelTest, StopAndClosingTheWindowEndACheckThatWaits) {
    const QColor base = Grid().palette().color(QPalette::Base);
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing the window" : "中止");
        const std::size_t before = server_.Requests().size();
        Check({"/stall", "/ok"});
        QElapsedTimer timer;
        timer.start();
        while (server_.Requests().size() < before + 2 && timer.elapsed() < 5000)
            QTest::qWait(20);
        const QColor waiting = ColourOf(0);
        timer.restart();
        if (closing)
            Table().hide();
        else
            Find<QPushButton>("btnStop").click();
        EXPECT_TRUE(Find<QPushButton>("btnLinkCheck").isEnabled());
        EXPECT_FALSE(Find<QPushButton>("btnStop").isEnabled());
        EXPECT_LT(timer.elapsed(), 2000); // not the 20 s the stalled request would take
        const int checked = Find<QProgressBar>("pbLinkCheck").value();
        EXPECT_LT(checked, 2);
        EXPECT_EQ(
            Status(),
            QStringLiteral("中止しました: URL 2 件のうち %1 件を確認しました。").arg(checked));
        Table().show();
        Grid().clearSelection(); // a selected row is painted over its verdict's colour
        EXPECT_NE(waiting, base) << "the waiting row is not marked";
        EXPECT_NE(waiting, kGreen);
        EXPECT_EQ(ColourOf(0), base) << "still marked waiting after the check stopped";
    }
}

// A site removed while the check runs: the verdicts found before it and the one that comes after
// it stand at the rows their sites moved to.
TEST_F(LinkCheckPanelTest, VerdictsMoveWithTheirSitesWhenTheListIsEditedDuringTheCheck) {
    Check({"/ok", "/gone", "/late"});
    QElapsedTimer timer;
    timer.start();
    while (Find<QProgressBar>("pbLinkCheck").value() < 2 && timer.elapsed() < 5000)
        QTest::qWait(20);
    ASSERT_TRUE(Find<QPushButton>("btnStop").isEnabled()) << "the late answer is still awaited";
    ASSERT_EQ(Findings(), QStringList{QStringLiteral("2 行: ") + Dead("/gone")});

    Select(0);
    Find<QPushButton>("btnDelete").click();
    EXPECT_EQ(Findings(), QStringList{QStringLiteral("1 行: ") + Dead("/gone")});
    ASSERT_TRUE(WaitForTheEnd(10000));
    EXPECT_EQ(Findings(), (QStringList{QStringLiteral("1 行: ") + Dead("/gone"),
                                       QStringLiteral("2 行: ") + Dead("/late")}));
    EXPECT_EQ(ColourOf(0), kRed);
    EXPECT_EQ(ColourOf(1), kRed);
    EXPECT_EQ(ColourOf(2), Grid().palette().color(QPalette::Base)) << "no site, no verdict";
    EXPECT_EQ(DoubleClickFinding(QStringLiteral("2 行")), std::vector<int>{1});
    Find<QPushButton>("btnSave").click();
}

// After the check: a moved site keeps its verdict, one whose URL is changed loses it, and undoing
// the change brings it back.
TEST_F(LinkCheckPanelTest, VerdictsFollowMovedSitesAndLeaveChangedUrls) {
    Check({"/ok", "/gone"});
    ASSERT_TRUE(WaitForTheEnd(10000));
    Select(1);
    Find<QPushButton>("btnUp").click();
    EXPECT_EQ(Findings(), QStringList{QStringLiteral("1 行: ") + Dead("/gone")});
    EXPECT_EQ(ColourOf(0), kRed);
    EXPECT_EQ(ColourOf(1), kGreen);
    EXPECT_EQ(DoubleClickFinding(QStringLiteral("1 行")), std::vector<int>{0});

    QAbstractItemModel& model = *Grid().model();
    model.setData(model.index(0, 1), QString::fromStdString(Url("/elsewhere")), Qt::EditRole);
    EXPECT_EQ(Findings(), QStringList{});
    EXPECT_EQ(ColourOf(0), Grid().palette().color(QPalette::Base));
    EXPECT_EQ(ColourOf(1), kGreen);

    Undo();
    EXPECT_EQ(Findings(), QStringList{QStringLiteral("1 行: ") + Dead("/gone")});
    EXPECT_EQ(ColourOf(0), kRed);
    Find<QPushButton>("btnSave").click();
}

// 「移転先に更新」 repairs the current site, 「移転先にすべて更新」 every site found moved; each is
// one step of undo, and only a site whose link moved offers it.
TEST_F(LinkCheckPanelTest, MovedSitesAreRepairedOneOrAllEachOneStepOfUndo) {
    Check({"/moved", "/gone", "/moved"});
    ASSERT_TRUE(WaitForTheEnd(10000));
    const auto urls = [this] {
        std::vector<std::string> at;
        for (int row = 0; row < 3; ++row)
            at.emplace_back(AppSetting().LinkList->Field(row, kURL));
        return at;
    };
    const std::string moved = Url("/moved"), now = Url("/ok"), gone = Url("/gone");
    QPushButton& fix = Find<QPushButton>("btnFixMoved");
    Select(1);
    EXPECT_FALSE(fix.isEnabled());
    Select(2);
    fix.click();
    EXPECT_EQ(urls(), (std::vector{moved, gone, now}));

    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->setActiveAction(menu->findChild<QAction*>(QStringLiteral("actFixAllMoved")));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    emit Grid().customContextMenuRequested(QPoint(4, 4));
    EXPECT_EQ(urls(), (std::vector{now, gone, now}));

    Undo();
    EXPECT_EQ(urls(), (std::vector{moved, gone, now}));
    Undo();
    EXPECT_EQ(urls(), (std::vector{moved, gone, moved}));
    Find<QPushButton>("btnSave").click();
}

} // namespace
} // namespace qvn::test
