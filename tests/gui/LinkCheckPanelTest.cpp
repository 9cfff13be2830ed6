// The link list window's link check, against a scripted HTTP server on 127.0.0.1: progress,
// findings, a double-click on a finding selects its row, the row shows its verdict's colour, and
// 「中止」 or closing the window stops a check that is waiting on a server.
#include "GuiTestSupport.h"
#include "HttpFixture.h"
#include "UList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

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
              return reply;
          }) {
        qputenv("no_proxy", "*"); // every request stays on loopback
        Table().show();
    }
    ~LinkCheckPanelTest() override { Table().hide(); }

    TfrmTable& Table() { return *AppForms().frmTable; }
    template <typename T> T& Find(const char* name) { return *Control<T>(&Table(), name); }

    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(server_.Port()) + path;
    }

    // Loads one data line a path, and presses 「リンクチェック」.
    void Check(const std::vector<std::string>& paths) {
        std::string lines;
        for (const std::string& path : paths)
            lines += "site," + Url(path) + ",admin,about\r\n";
        dir_.Write("links.csv", lines);
        Find<QLineEdit>("edPath").setText(QString::fromStdString(dir_.Path("links.csv")));
        Find<QPushButton>("btnLoad").click();
        Find<QPushButton>("btnLinkCheck").click();
    }

    // Processes events until the check is no longer under way; false after timeoutMs.
    bool WaitForTheEnd(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (!Find<QPushButton>("btnLinkCheck").isEnabled()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    HttpFixture server_;
    TempDir dir_;
};

TEST_F(LinkCheckPanelTest, FindingsProgressColourAndADoubleClickSelectingTheRow) {
    Check({"/ok", "/gone", "/moved", "/gone"});
    EXPECT_FALSE(Find<QPushButton>("btnLinkCheck").isEnabled());
    EXPECT_TRUE(Find<QPushButton>("btnStop").isEnabled());
    ASSERT_TRUE(WaitForTheEnd(10000));
    EXPECT_FALSE(Find<QPushButton>("btnStop").isEnabled());

    const QProgressBar& progress = Find<QProgressBar>("pbLinkCheck");
    EXPECT_EQ(progress.maximum(), 3); // distinct URLs
    EXPECT_EQ(progress.value(), 3);

    QListWidget& findings = Find<QListWidget>("lbFindings");
    QStringList texts; // in the order of the lines
    for (int i = 0; i < findings.count(); ++i)
        texts << findings.item(i)->text();
    const QString gone = QString::fromStdString(Url("/gone"));
    EXPECT_EQ(
        texts,
        (QStringList{
            QStringLiteral("2 行: エラー: ") + gone + QStringLiteral(": リンク切れです (HTTP 404)"),
            QStringLiteral("3 行: 警告: ") + QString::fromStdString(Url("/moved")) +
                QStringLiteral(": 移転しています (HTTP 301): ") +
                QString::fromStdString(Url("/ok")),
            QStringLiteral("4 行: エラー: ") + gone + QStringLiteral(": リンク切れです (HTTP 404)"),
        }));

    // The dead link's row is painted red under its text, the healthy one green.
    QTableView& grid = Find<QTableView>("sgLinkList");
    const QImage shot = grid.viewport()->grab().toImage();
    const auto colourOf = [&](int record) {
        const QRect cell = grid.visualRect(grid.model()->index(record, 3));
        return shot.pixelColor(cell.right() - 3, cell.bottom() - 3);
    };
    EXPECT_EQ(colourOf(1), QColor(0xff, 0xc8, 0xc8));
    EXPECT_EQ(colourOf(0), QColor(0xd8, 0xf5, 0xd8));

    // A double-click on the finding of line 4 selects the fourth record's row.
    QListWidgetItem* line4 = nullptr;
    for (int i = 0; i < findings.count(); ++i) {
        if (findings.item(i)->text().startsWith(QStringLiteral("4 行")))
            line4 = findings.item(i);
    }
    ASSERT_NE(line4, nullptr);
    emit findings.itemDoubleClicked(line4);
    const QModelIndexList rows = grid.selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].row(), 3);
}

TEST_F(LinkCheckPanelTest, StopAndClosingTheWindowEndACheckThatWaits) {
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing the window" : "中止");
        const std::size_t before = server_.Requests().size();
        Check({"/stall", "/ok"});
        QElapsedTimer timer;
        timer.start();
        while (server_.Requests().size() < before + 2 && timer.elapsed() < 5000)
            QTest::qWait(20);
        timer.restart();
        if (closing)
            Table().hide();
        else
            Find<QPushButton>("btnStop").click();
        EXPECT_TRUE(Find<QPushButton>("btnLinkCheck").isEnabled());
        EXPECT_FALSE(Find<QPushButton>("btnStop").isEnabled());
        EXPECT_LT(timer.elapsed(), 2000); // not the 20 s the stalled request would take
        EXPECT_LT(Find<QProgressBar>("pbLinkCheck").value(), 2);
        Table().show();
    }
}

} // namespace
} // namespace qvn::test
