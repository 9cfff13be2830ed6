// The link list window driven as the user drives it: loading data files into the numbered grid,
// the row and width rules of the grid, failures, drops, the open dialog, closing and showing
// again, and a page built from the main window out of what was loaded here.
#include "Codec.h"
#include "FileDialog.h"
#include "GuiTestSupport.h"
#include "UDec.h"
#include "UInCSV.h"
#include "UList.h"
#include "UMain1.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <new>

// Allocation failure on demand: the next allocation of exactly this many bytes throws.
static std::size_t failAllocationOf = 0;

void* operator new(std::size_t size) {
    if (size != 0 && size == failAllocationOf) {
        failAllocationOf = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace qvn::test {
namespace {

using ::testing::StartsWith;

std::string Sjis(const char* utf8) {
    return Utf8ToCp932(utf8);
}

// n lines "site<i>,http://s<i>.example/,admin<i>,about <i>" ended by CR LF.
std::string Lines(int n, const std::string& tag = "site") {
    std::string text;
    for (int i = 1; i <= n; ++i) {
        const std::string s = std::to_string(i);
        text += tag + s + ",http://s" + s + ".example/,admin" + s + ",about " + s + "\r\n";
    }
    return text;
}

// The table's fields, record after record.
std::vector<std::string> Items(const TLinkTable& table) {
    std::vector<std::string> items;
    for (int r = 0; r < table.Count(); ++r) {
        for (std::string_view field : table.Fields(r))
            items.emplace_back(field);
    }
    return items;
}

class LinkListTest : public ::testing::Test {
protected:
    TfrmTable& Table() { return *AppForms().frmTable; }
    QTableView& Grid() { return *Control<QTableView>(&Table(), "sgLinkList"); }
    QLineEdit& Path() { return *Control<QLineEdit>(&Table(), "edPath"); }
    QPushButton& Button(const char* name) { return *Control<QPushButton>(&Table(), name); }

    // The grid as the user sees it: rows with the header row, a column's width (column 0 holds
    // the row numbers), a cell's text (row 0 the headers, column 0 the row numbers).
    int Rows() { return Grid().model()->rowCount() + 1; }
    int Width(int col) {
        return col == 0 ? Grid().verticalHeader()->width()
                        : Grid().horizontalHeader()->sectionSize(col - 1);
    }
    QString Cell(int col, int row) {
        const QAbstractItemModel& model = *Grid().model();
        if (row == 0)
            return model.headerData(col - 1, Qt::Horizontal, Qt::DisplayRole).toString();
        if (col == 0)
            return model.headerData(row - 1, Qt::Vertical, Qt::DisplayRole).toString();
        return model.data(model.index(row - 1, col - 1), Qt::DisplayRole).toString();
    }
    std::vector<QString> Row(int row) {
        return {Cell(1, row), Cell(2, row), Cell(3, row), Cell(4, row)};
    }

    // Writes bytes as a data file and presses "読み込み" on it.
    void Load(const std::string& bytes, const std::string& name = "data.csv") {
        dir_.Write(name, bytes);
        LoadPath(QString::fromStdString(dir_.Path(name)));
    }
    void LoadPath(const QString& path) {
        Path().setText(path);
        Button("btnLoad").click();
    }
    // Presses "読み込み" expecting the error box; returns its text.
    QString LoadFails(const QString& path) {
        ModalLog log;
        LoadPath(path);
        if (log.Seen().size() != 1 || log.Seen()[0].className != "QMessageBox") {
            ADD_FAILURE() << "expected one error box";
            return {};
        }
        return log.Seen()[0].text;
    }

    TempDir dir_;
};

TEST_F(LinkListTest, StartsWithFiftyEmptyRowsAndWidensColumnsOnlyForLongerFields) {
    // The fresh window, as start-up makes it: rows that hold no site have no number.
    StartAfresh();
    EXPECT_EQ(Rows(), 51);
    EXPECT_EQ(Cell(0, 1), QString());
    EXPECT_EQ(AppSetting().LinkList, nullptr);

    // Three records, the first site name 10 bytes: it fits in 100 pixels.
    Load("abcdefghij,u1,a1,d1\r\nname2,u2,a2,d2\r\nname3,u3,a3,d3\r\n");
    EXPECT_EQ(Rows(), 51);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("3"));
    EXPECT_EQ(Row(1), (std::vector<QString>{"abcdefghij", "u1", "a1", "d1"}));
    EXPECT_EQ(Row(3), (std::vector<QString>{"name3", "u3", "a3", "d3"}));
    EXPECT_EQ(Row(4), (std::vector<QString>{"", "", "", ""}));
    EXPECT_EQ(Width(1), 100);
    ASSERT_NE(AppSetting().LinkList, nullptr);
    EXPECT_EQ(AppSetting().LinkList->Count(), 3);

    // A 20-byte site name widens column 1 to 7 pixels a byte; shorter data never narrows it.
    Load("abcdefghijklmnopqrst,u,a,d\r\n");
    EXPECT_EQ(Width(1), 140);
    EXPECT_EQ(Width(2), 100);
    Load("x,u,a,d\r\n");
    EXPECT_EQ(Width(1), 140);
    // Counted in bytes: 16 double-byte characters are 32 bytes.
    Load(",," + Sjis("管理者管理者管理者管理者管理者管") + ",d\r\n");
    EXPECT_EQ(Width(3), 224);
    // A field too wide for the header gets the widest column the header allows, not none.
    Load(std::string(200000, 'w') + ",u,a,d\r\n");
    EXPECT_EQ(Width(1), Grid().horizontalHeader()->maximumSectionSize());
}

TEST_F(LinkListTest, RowsFollowLoadsOfMoreThanFiftyRecordsAndOldCellsAreCleared) {
    Load(Lines(120));
    EXPECT_EQ(Rows(), 121);
    EXPECT_EQ(Cell(0, 120), QStringLiteral("120"));
    EXPECT_EQ(Row(120),
              (std::vector<QString>{"site120", "http://s120.example/", "admin120", "about 120"}));
    EXPECT_EQ(Grid().verticalHeader()->sectionSize(119), 18);

    Load(Lines(60, "b"));
    EXPECT_EQ(Rows(), 61);
    EXPECT_EQ(Row(60)[0], QStringLiteral("b60"));

    // Ten records leave the rows of the longer load, emptied.
    Load(Lines(10, "c"));
    EXPECT_EQ(Rows(), 61);
    EXPECT_EQ(Row(10)[3], QStringLiteral("about 10"));
    for (int row = 11; row <= 60; ++row)
        ASSERT_EQ(Row(row), (std::vector<QString>{"", "", "", ""})) << row;
    EXPECT_EQ(AppSetting().LinkList->Count(), 10);
    // An empty file empties every cell and leaves an empty list, not none.
    Load("");
    EXPECT_EQ(Rows(), 61);
    for (int row = 1; row <= 10; ++row)
        ASSERT_EQ(Row(row), (std::vector<QString>{"", "", "", ""})) << row;
    ASSERT_NE(AppSetting().LinkList, nullptr);
    EXPECT_EQ(AppSetting().LinkList->Count(), 0);
    Load(Lines(10, "c"));

    // Row numbers past four digits widen the number column so that none is cut off; it stays
    // wide after a shorter load.
    EXPECT_EQ(Width(0), 30);
    Load(Lines(20000));
    EXPECT_EQ(Cell(0, 20000), QStringLiteral("20000"));
    const int numbers = Width(0);
    EXPECT_GT(numbers, 30);
    EXPECT_GE(
        numbers,
        QFontMetrics(Grid().verticalHeader()->font()).horizontalAdvance(QStringLiteral("20000")) +
            2);
    Load(Lines(60));
    EXPECT_EQ(Width(0), numbers);
}

TEST_F(LinkListTest, FailedLoadKeepsGridAndSettingAndShowsTheOpenMessage) {
    Load(Lines(70));
    const TLinkTable* before = AppSetting().LinkList.get();
    const int rows = Rows();

    // The message names the path as typed, the system's reason after it in parentheses: a missing
    // file, the untouched prompt taken as a path, a folder.
    for (const QString& path : {QString::fromStdString(dir_.Path("missing.csv")),
                                QStringLiteral("データファイルへのパスを入力してください。"),
                                QString::fromStdString(dir_.Path(""))}) {
        const QString shown = LoadFails(path);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("ファイル %1 は開けません. (").arg(path)))
            << shown.toStdString();
    }
    EXPECT_EQ(AppSetting().LinkList.get(), before);
    EXPECT_EQ(AppSetting().LinkList->Count(), 70);
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Row(70)[0], QStringLiteral("site70"));
}

TEST_F(LinkListTest, LoadThatRunsOutOfMemoryKeepsGridAndSetting) {
    Load(Lines(60));
    const TLinkTable* before = AppSetting().LinkList.get();

    // The new fields' bytes are one allocation, of the file's size (and a NUL): no other
    // allocation of the load has that size (the list's index grows in blocks of 512 bytes, the
    // file is read in blocks of 1 MiB).
    const std::string next = Lines(80, "n");
    dir_.Write("next.csv", next);
    ASSERT_NE((next.size() + 1) % 8, 0u);
    failAllocationOf = next.size() + 1;
    EXPECT_EQ(LoadFails(QString::fromStdString(dir_.Path("next.csv"))),
              QStringLiteral("メモリが足りません."));
    EXPECT_EQ(failAllocationOf, 0u) << "the fields' bytes were not allocated as expected";

    EXPECT_EQ(AppSetting().LinkList.get(), before);
    EXPECT_EQ(Rows(), 61);
    EXPECT_EQ(Row(60),
              (std::vector<QString>{"site60", "http://s60.example/", "admin60", "about 60"}));
}

// A file whose text the grid cannot show whole, here UTF-16 as Notepad's 「Unicode」 saves it, is
// loaded as a build reads it, one garbled site, and the check's finding says why.
TEST_F(LinkListTest, DataInUtf16IsLoadedWithTheChecksFinding) {
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("a,b,c,d\r\ne,f,g,h\r\n"))
        utf16 += std::string{c, '\0'};
    ModalLog log;
    Load(utf16, "unicode.csv");
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_EQ(log.Seen()[0].icon, QMessageBox::Warning);
    EXPECT_THAT(log.Seen()[0].text.toStdString(),
                StartsWith("unicode.csv:1: 警告: このファイルは UTF-16"));
    EXPECT_EQ(AppSetting().LinkList->Count(), 1);
}

// Each file shows in its own encoding, as the table judges it for the whole file (TableTest's
// ShownAsUtf8OnlyWhenTheWholeTextIsUtf8; bad bytes: CodecTest's DisplayNeverFails...).
TEST_F(LinkListTest, CellsShowEachFileInItsOwnEncoding) {
    const struct {
        const char* what;
        std::string file;
        std::vector<QString> row;
    } cases[] = {
        // "ソ" and "表" end in the byte 0x5C, "ダ" in 0x5F; 0xFF, 0x85 0x40 and a lone lead
        // byte show as replacement characters.
        {"code page 932",
         Sjis("ソフト表ダ") + ",a\xFF"
                              "b,x\x85\x40y,z\x81\r\n",
         {QStringLiteral("ソフト表ダ"), QStringLiteral("a\uFFFDb"), QStringLiteral("x\uFFFDy"),
          QStringLiteral("z\uFFFD")}},
        {"UTF-8",
         "猫の手帖,https://neko.example/,たま,猫と暮らす\r\n",
         {QStringLiteral("猫の手帖"), QStringLiteral("https://neko.example/"),
          QStringLiteral("たま"), QStringLiteral("猫と暮らす")}},
        // "ﾃｽ" is 0xC3 0xBD in code page 932, valid UTF-8 on its own; the file as a whole is not.
        {"code page 932 valid as UTF-8 in part",
         Sjis("ﾃｽ,u,管理人,表示のテスト\r\n"),
         {QStringLiteral("ﾃｽ"), "u", QStringLiteral("管理人"), QStringLiteral("表示のテスト")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.file);
        EXPECT_EQ(Row(1), c.row);
    }
    // Widths still count bytes in UTF-8: five characters of three bytes each, and a hundred x.
    const int widthBefore = Width(4);
    Load("猫,u,a,猫と暮らす" + std::string(100, 'x') + "\r\n");
    EXPECT_EQ(Width(4), std::max(widthBefore, 7 * (15 + 100)));
}

// Enter on a focused button presses it; in the path edit and the grid it does nothing.
TEST_F(LinkListTest, EnterPressesTheFocusedButtonOnly) {
    Load(Lines(2, "before"));
    dir_.Write("next.csv", Lines(3, "next"));
    const QString next = QString::fromStdString(dir_.Path("next.csv"));
    bool openAfterEdits = false;
    WhenModal([&](QWidget* modal) {
        Path().setText(next);
        for (QWidget* w : {static_cast<QWidget*>(&Path()), static_cast<QWidget*>(&Grid())}) {
            PressFocused(w, Qt::Key_Return);
            PressFocused(w, Qt::Key_Enter);
        }
        QApplication::processEvents();
        openAfterEdits = modal->isVisible();
        EXPECT_EQ(Row(1)[0], QStringLiteral("before1")) << "Enter in the edit or grid loaded";

        Path().clear();
        ui::FileDialog::SetNextFileName(next);
        PressFocused(&Button("btnRefer"), Qt::Key_Return);
        EXPECT_EQ(Path().text(), Shown(dir_.Path("next.csv")));
        PressFocused(&Button("btnLoad"), Qt::Key_Enter);
        EXPECT_EQ(Row(1)[0], QStringLiteral("next1"));
        PressFocused(&Button("btnClose"), Qt::Key_Return);
        if (modal->isVisible()) {
            ADD_FAILURE() << "Enter on 閉じる left the window open";
            Table().reject();
        }
    });
    EXPECT_EQ(Table().exec(), QDialog::Accepted);
    EXPECT_TRUE(openAfterEdits);
    Grid().setFocus(); // where a fresh window has it, for the tests that run after this one
}

TEST_F(LinkListTest, DropsAndTheOpenDialogFillThisWindowsPath) {
    TfrmMain* main = AppForms().frmMain;
    QLineEdit& mainPath = *Control<QLineEdit>(main, "edPath");
    const QString mainBefore = mainPath.text();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/first.csv")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/second.csv"))});
    // Dragged over the grid, a control of the window: the window takes the drop.
    const Dropped dropped = Drop(Grid().viewport(), QPoint(10, 10), mime);
    EXPECT_TRUE(dropped.entered);
    EXPECT_TRUE(dropped.taken);
    EXPECT_EQ(Path().text(), Shown(QStringLiteral("/tmp/first.csv")));
    EXPECT_EQ(mainPath.text(), mainBefore);

    dir_.Write("chosen.csv", Lines(2));
    ui::FileDialog::SetNextFileName(QString::fromStdString(dir_.Path("chosen.csv")));
    Button("btnRefer").click();
    EXPECT_EQ(Path().text(), Shown(dir_.Path("chosen.csv")));
    ui::FileDialog::SetNextFileName(QString()); // cancel
    Button("btnRefer").click();
    EXPECT_EQ(Path().text(), Shown(dir_.Path("chosen.csv")));
    Grid().setFocus(); // where a fresh window has it, for the tests that run after this one
}

TEST_F(LinkListTest, ClosingHidesTheWindowWithEverythingAsTheUserLeftIt) {
    Load(Lines(55));
    const int rows = Rows();
    const QString path = Path().text();

    // The grid has the focus at the first showing; Esc and Enter do nothing; "閉じる" ends the
    // modal showing with OK.
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, &Table());
        EXPECT_EQ(Table().focusWidget(), &Grid());
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return})
            SendKey(&Table(), key);
        QApplication::processEvents();
        EXPECT_TRUE(Table().isVisible());
        Button("btnClose").click();
    });
    EXPECT_EQ(Table().exec(), QDialog::Accepted);
    EXPECT_FALSE(Table().isVisible());

    // The close box: the window is hidden, not destroyed, and shows the same again.
    WhenModal([&](QWidget*) { Table().close(); });
    Table().exec();
    EXPECT_FALSE(Table().isVisible());
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Row(55)[0], QStringLiteral("site55"));
    EXPECT_EQ(Path().text(), path);
}

// ---- editing -------------------------------------------------------------------------------

// Every test here starts from a fresh program and leaves none of its edits to the tests after it.
class LinkEditTest : public LinkListTest {
protected:
    void SetUp() override {
        StartAfresh();
        Show();
    }
    void Show() {
        Table().show();
        QApplication::setActiveWindow(&Table());
    }
    void TearDown() override { StartAfresh(); }

    QModelIndex Index(int row, int col) { return Grid().model()->index(row - 1, col - 1); }
    void Select(int row, int col = 1) {
        QApplication::setActiveWindow(&Table()); // a message box just closed may have left none
        Grid().setFocus();
        Grid().setCurrentIndex(Index(row, col));
    }
    // The cell editor the grid has open, or null.
    QLineEdit* Editor() {
        for (QLineEdit* editor : Grid().findChildren<QLineEdit*>()) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents(); // an editor commits and closes from the event loop
    }
    // Types text into the current cell, as a Japanese input method commits it, and presses Enter.
    void TypeInto(int row, int col, const QString& text) {
        Select(row, col);
        Key(Qt::Key_F2);
        ASSERT_NE(Editor(), nullptr) << "F2 opened no editor";
        Editor()->selectAll();
        CommitText(Editor(), text);
        Key(Qt::Key_Return);
    }
    // Presses "編集/出力" in the main window, with a template of the four tokens in t.html.
    void BuildInTheMainWindow() {
        TfrmMain* main = AppForms().frmMain;
        dir_.Write("t.html", "_HEAD_\nh\n_FRAME_\n_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\n_FOOT_\nf\n");
        Control<QLineEdit>(main, "edPath")->setText(QString::fromStdString(dir_.Path("t.html")));
        Control<QPushButton>(main, "Button2")->click();
    }
    // The sites as the table holds them.
    std::vector<std::string> Sites() { return Items(*AppSetting().LinkList); }
    // Presses a button expecting the question about unsaved edits, answered with `answer`.
    void Answer(QAbstractButton& button, const QString& answer) {
        QStringList buttons;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
                if (b->text() == answer)
                    b->click();
            }
            if (box->isVisible())
                box->reject();
        });
        button.click();
        WaitNoModal();
        EXPECT_THAT(buttons, ::testing::UnorderedElementsAre(QStringLiteral("保存"),
                                                             QStringLiteral("保存しない"),
                                                             QStringLiteral("キャンセル")));
    }
};

TEST_F(LinkEditTest, CellsAreEditedByF2TypingOrDoubleClickEnterCommitsAndEscCancels) {
    Load("a,b,c,d\r\n");
    TypeInto(1, 1, QStringLiteral("猫"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("猫"));

    // Typing starts an edit in place of the text; Enter commits it.
    Select(1, 2);
    QTest::keyClick(&Grid(), Qt::Key_X);
    ASSERT_NE(Editor(), nullptr) << "typing opened no editor";
    QTest::keyClick(Editor(), Qt::Key_Y);
    Key(Qt::Key_Return);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("xy"));

    // Esc leaves the cell as it was, and the window open.
    Select(1, 3);
    Key(Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    QTest::keyClicks(Editor(), QStringLiteral("zz"));
    Key(Qt::Key_Escape);
    EXPECT_EQ(Cell(3, 1), QStringLiteral("c"));
    EXPECT_TRUE(Table().isVisible());

    const QRect cell = Grid().visualRect(Index(1, 4));
    QTest::mousePress(Grid().viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(Grid().viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_NE(Editor(), nullptr) << "a double-click opened no editor";
    EXPECT_EQ(Editor()->text(), QStringLiteral("d"));
    Key(Qt::Key_Escape);

    EXPECT_EQ(Sites(), (std::vector<std::string>{Sjis("猫"), "xy", "c", "d"}));
    EXPECT_FALSE(Grid().model()->flags(Index(2, 1)) & Qt::ItemIsEditable) << "a row with no site";
}

TEST_F(LinkEditTest, AddDeleteAndMoveActWhereTheUserIs) {
    // Each edit is told as rows inserted, removed or moved: Qt's model tester stops the program at
    // a signal that disagrees with the rows, and a view's hold on a site follows it or goes.
    const QAbstractItemModelTester tester(Grid().model(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    Load("s1,u,a,d\r\ns2,u,a,d\r\ns3,u,a,d\r\n");
    const QPersistentModelIndex s2(Index(2, 1)), s3(Index(3, 1));
    auto names = [&] {
        std::vector<std::string> n;
        for (int r = 0; r < AppSetting().LinkList->Count(); ++r)
            n.emplace_back(AppSetting().LinkList->Field(r, kSiteName));
        return n;
    };
    // After the current site; then the new one is current.
    Select(1);
    Button("btnAdd").click();
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "", "s2", "s3"}));
    EXPECT_EQ(Grid().currentIndex().row(), 1);
    // At the end when the current cell holds no site.
    Select(30);
    Button("btnAdd").click();
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "", "s2", "s3", ""}));

    Select(4);
    Button("btnUp").click();
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "", "s3", "s2", ""}));
    EXPECT_EQ(Grid().currentIndex().row(), 2) << "the moved site stays current";
    Button("btnDown").click();
    Button("btnDown").click();
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "", "s2", "", "s3"}));
    Button("btnDown").click(); // the last site stays last
    Select(1);
    Button("btnUp").click(); // the first stays first
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "", "s2", "", "s3"}));

    // The selected sites, cells of rows 2 to 4.
    Grid().selectionModel()->select(QItemSelection(Index(2, 2), Index(4, 3)),
                                    QItemSelectionModel::ClearAndSelect);
    Button("btnDelete").click();
    EXPECT_EQ(names(), (std::vector<std::string>{"s1", "s3"}));
    EXPECT_EQ(Row(3), (std::vector<QString>{"", "", "", ""}));
    EXPECT_EQ(Rows(), 51);
    EXPECT_EQ(s3.data().toString(), QStringLiteral("s3"));
    EXPECT_FALSE(s2.isValid());
}

// Typing on a row that holds no site starts a new site, its name being edited: the first key is
// never a search that lands the rest of the text in another site. Only the rows that hold a site
// are numbered, an empty line of the file included.
TEST_F(LinkEditTest, TypingOnAnEmptyRowStartsANewSiteAndChangesNoOther) {
    Select(3);
    Key(Qt::Key_X);
    EXPECT_EQ(Editor(), nullptr) << "nothing loaded: nothing to type into";

    Load("Rabbit,u,a,d\r\n\r\n");
    EXPECT_EQ(Cell(0, 2), QStringLiteral("2"));
    EXPECT_EQ(Cell(0, 3), QString());
    Select(5, 2);
    QTest::keyClicks(&Grid(), QStringLiteral("R"));
    ASSERT_NE(Editor(), nullptr) << "typing on an empty row opened no editor";
    QTest::keyClicks(Editor(), QStringLiteral("etro Games"));
    Key(Qt::Key_Return);
    // An input method alike: its first composition opens the editor, which takes the text.
    Select(20, 4);
    QInputMethodEvent composing(QStringLiteral("ねこ"), {});
    QApplication::sendEvent(&Grid(), &composing);
    ASSERT_NE(Editor(), nullptr);
    CommitText(&Grid(), QStringLiteral("猫"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Sites(),
              (std::vector<std::string>{"Rabbit", "u", "a", "d", "", "", "", "", "Retro Games", "",
                                        "", "", Sjis("猫"), "", "", ""}));
}

// 追加 leaves the new site's name being edited: typing goes into it, and Enter ends the edit
// without adding another site.
TEST_F(LinkEditTest, AddedSiteHasItsNameBeingEdited) {
    Load("s1,u,a,d\r\n");
    Select(1, 3);
    QTest::mouseClick(&Button("btnAdd"), Qt::LeftButton);
    ASSERT_NE(Editor(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("new"));
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Sites(), (std::vector<std::string>{"s1", "u", "a", "d", "new", "", "", ""}));
}

TEST_F(LinkEditTest, AddingPastTheRowsAddsNumberedRows) {
    Load(Lines(50));
    Select(50);
    Button("btnAdd").click();
    EXPECT_EQ(Rows(), 52);
    EXPECT_EQ(Cell(0, 51), QStringLiteral("51"));
    EXPECT_EQ(Row(50)[0], QStringLiteral("site50"));
}

// Every edit is undone by Ctrl+Z and redone by Ctrl+Y or Ctrl+Shift+Z; undone, the file is saved
// as it was. (The bytes an edit or its undoing writes are TableTest's.)
TEST_F(LinkEditTest, UndoAndRedoByKeysAndTheUndoneFileSavesAsItWas) {
    const std::string file = Sjis("猫,u1,a1,d1\r\nb,u2\nc,u3,a3,d3\rlast");
    dir_.Write("links.csv", file);
    LoadPath(QString::fromStdString(dir_.Path("links.csv")));
    TypeInto(2, 3, QStringLiteral("管理人"));
    Select(3);
    Button("btnUp").click();
    Button("btnAdd").click();
    Button("btnDelete").click();
    Select(1);
    Button("btnDelete").click();
    const std::vector<std::string> edited = Sites();

    Grid().setFocus();
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Sites(), Items(TLinkTable::Parse(file)));
    Key(Qt::Key_Y, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    Button("btnSave").click();
    EXPECT_EQ(dir_.Read("links.csv"), file);

    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Sites(), edited);
}

// 保存 writes the file the sites were read from, whatever the path field says now.
TEST_F(LinkEditTest, SaveWritesTheFileThatWasLoaded) {
    Load("a,b,c,d\n", "one.csv");
    Path().setText(QString::fromStdString(dir_.Path("other.csv")));
    TypeInto(1, 4, QStringLiteral("e,f"));
    Button("btnSave").click();
    EXPECT_EQ(dir_.Read("one.csv"), "a,b,c,e,f\n");
    EXPECT_FALSE(dir_.Exists("other.csv"));
}

// Text the file cannot hold is refused as it is committed, with the table's message (TableTest's
// RefuseWhatTheFileCannotHold has every kind), and the cell keeps its text; the editor is open
// again with what was typed, for the user to correct.
TEST_F(LinkEditTest, TextTheFileCannotHoldIsRefused) {
    Load("a,b,c,d\r\n");
    ModalLog log;
    TypeInto(1, 3, QStringLiteral("x,y"));
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_TRUE(log.Seen()[0].text.startsWith(QStringLiteral("「管理者」にカンマ (,)")))
        << log.Seen()[0].text.toStdString();
    EXPECT_EQ(Cell(3, 1), QStringLiteral("c"));
    QApplication::processEvents();
    ASSERT_NE(Editor(), nullptr) << "the typed text is gone";
    EXPECT_EQ(Editor()->text(), QStringLiteral("x,y"));
    EXPECT_EQ(Grid().currentIndex(), Index(1, 3));
    // Nothing to save: loading another file asks nothing.
    Load("x\r\n", "next.csv");
    EXPECT_EQ(Cell(4, 1), QStringLiteral("x"));
}

// Closing asks about unsaved edits: キャンセル keeps the window open with them, 保存しない closes
// it and puts the list, which pages are built from, back as its file holds it; 保存 saves.
// Loading another file asks too, and 保存しない drops the edits for the new file.
TEST_F(LinkEditTest, UnsavedEditsAskOnCloseAndOnLoadingAnotherFile) {
    const std::string file = "a,b,c,d\r\n";
    Load(file, "links.csv");
    TypeInto(1, 1, QStringLiteral("edited"));
    Select(1);
    Button("btnAdd").click();

    Answer(Button("btnClose"), QStringLiteral("キャンセル"));
    EXPECT_TRUE(Table().isVisible());
    EXPECT_EQ(Cell(1, 1), QStringLiteral("edited"));
    Answer(Button("btnClose"), QStringLiteral("保存しない"));
    EXPECT_FALSE(Table().isVisible());
    EXPECT_EQ(dir_.Read("links.csv"), file);
    EXPECT_EQ(Sites(), (std::vector<std::string>{"a", "b", "c", "d"}))
        << "the page is built from it";
    Show();
    EXPECT_EQ(Row(1), (std::vector<QString>{"a", "b", "c", "d"}));

    // Saved, undone past the save and edited again: what the file holds is no longer an undo away.
    TypeInto(1, 1, QStringLiteral("saved"));
    Button("btnSave").click();
    Key(Qt::Key_Z, Qt::ControlModifier);
    TypeInto(1, 2, QStringLiteral("other"));
    Answer(Button("btnClose"), QStringLiteral("保存しない"));
    EXPECT_EQ(Sites(), (std::vector<std::string>{"saved", "b", "c", "d"}));

    Show();
    TypeInto(1, 1, QStringLiteral("edited"));
    dir_.Write("next.csv", "n,u,a,d\r\n");
    Path().setText(QString::fromStdString(dir_.Path("next.csv")));
    Answer(Button("btnLoad"), QStringLiteral("キャンセル"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("edited"));
    Answer(Button("btnLoad"), QStringLiteral("保存しない"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("n"));
    EXPECT_EQ(dir_.Read("links.csv"), "saved,b,c,d\r\n");

    TypeInto(1, 2, QStringLiteral("url"));
    Answer(Button("btnClose"), QStringLiteral("保存"));
    EXPECT_FALSE(Table().isVisible());
    EXPECT_EQ(dir_.Read("next.csv"), "n,url,a,d\r\n");
    Show();
    Button("btnClose").click(); // saved: nothing to ask
    EXPECT_FALSE(Table().isVisible());
}

// "編集/出力" builds from the sites as edited, without saving them first.
TEST_F(LinkEditTest, PagesAreBuiltFromTheEditedSitesUnsaved) {
    Load("a,https://a.example/,x,d\r\nb,https://b.example/,y,d\r\n", "links.csv");
    TypeInto(2, 1, QStringLiteral("edited"));
    Select(2);
    Button("btnUp").click();
    Table().hide();

    ui::FileDialog::SetNextFileName(QString::fromStdString(dir_.Path("page.html")));
    ModalLog log;
    BuildInTheMainWindow();
    EXPECT_EQ(dir_.Read("page.html"),
              "h\r\nedited https://b.example/ y d\r\na https://a.example/ x d\r\nf\r\n");
    EXPECT_EQ(dir_.Read("links.csv"), "a,https://a.example/,x,d\r\nb,https://b.example/,y,d\r\n");
}

// The check before the build looks at the sites as edited, which the page is made from, not at
// the file they were read from.
TEST_F(LinkEditTest, CheckBeforeTheBuildSeesUnsavedEdits) {
    Load("a,https://a.example/,x,d\r\n", "links.csv");
    TypeInto(1, 2, QStringLiteral("www.a.example"));
    Table().hide();

    ModalLog log; // Enter: "やめる"
    BuildInTheMainWindow();
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_EQ(log.Seen()[0].title, QStringLiteral("出力前の確認"));
    EXPECT_EQ(dir_.EntryCount(), 2) << "stopped: nothing written";
}

// A very long field costs no more than a short one to show: the cell shows its start, an edit
// and a copy take all of it.
TEST_F(LinkEditTest, LongFieldsShowTheirStartAndCopyWhole) {
    const std::string longText(40'000, 'w'); // more than a line edit holds unless told
    Load("a," + longText + ",c,d\r\n");
    const QString shown = Cell(2, 1);
    EXPECT_GT(shown.size(), 100);
    EXPECT_LT(shown.size(), 10000);
    EXPECT_TRUE(std::string(longText).starts_with(shown.toStdString()));

    Select(1, 2);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().size(), static_cast<qsizetype>(longText.size()));
    Grid().selectionModel()->select(QItemSelection(Index(1, 1), Index(1, 3)),
                                    QItemSelectionModel::ClearAndSelect);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("a\t") + QString::fromStdString(longText) + QStringLiteral("\tc"));

    // Edited whole: the end of the field survives an edit of its start.
    Select(1, 2);
    Key(Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text().size(), static_cast<qsizetype>(longText.size()));
    Editor()->setCursorPosition(0);
    QTest::keyClicks(Editor(), QStringLiteral("v"));
    Key(Qt::Key_Return);
    EXPECT_EQ(AppSetting().LinkList->Field(0, kURL), "v" + longText);
}

} // namespace
} // namespace qvn::test
