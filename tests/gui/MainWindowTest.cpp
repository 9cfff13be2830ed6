// The main window of the real application: the build-and-save road, failures in the error box,
// the save dialog's cancel, drops, typed text as code page 932, the menu and the help page.
#include "AppInfo.h"
#include "FileDialog.h"
#include "GuiTestSupport.h"
#include "UDec.h"
#include "UHelp.h"
#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qvn::test {
namespace {

// "テンプレート.html" in code page 932.
const char* const kJapaneseNameCp932 = "\x83\x65\x83\x93\x83\x76\x83\x8c\x81\x5b\x83\x67.html";

const char* const kTemplate = "top\r\n_HEAD_\r\nstart\r\n_FRAME_\r\n"
                              "[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\r\n_FOOT_\r\nend\r\n";
const char* const kPage = "start\r\n[s1](u1) by a1: d1\r\n[s2](u2) by a2: d2\r\nend\r\n";
const char* const kInitialPath = "ここにテンプレートファイルへのパスを入力してください。";

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = Edit()->text();
        savedDir_ = QDir::currentPath();
        savedLinks_ = std::move(Setting.LinkList);
        savedFocus_ = Main()->focusWidget();
        Main()->show();
        QApplication::processEvents();
    }

    void TearDown() override {
        Edit()->setText(savedPath_);
        QDir::setCurrent(savedDir_);
        Setting.LinkList = std::move(savedLinks_);
        if (savedFocus_)
            savedFocus_->setFocus();
    }

    static TfrmMain* Main() { return AppForms().frmMain; }
    template <typename T> static T* Find(const char* name) { return Control<T>(Main(), name); }
    static QLineEdit* Edit() { return Find<QLineEdit>("edPath"); }

    static void LoadTwoRecords() {
        Setting.LinkList =
            std::make_shared<TLinkTable>(TLinkTable::Parse("s1,u1,a1,d1\r\ns2,u2,a2,d2\r\n"));
    }

    // Text as the user types it: a Japanese input method commits whole strings.
    static void Type(const QString& text) {
        Edit()->clear();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(Edit(), &commit);
    }

    static void ClickBuild() { Find<QPushButton>("Button2")->click(); }

    // The error box as the user must see it, holding exactly utf8Text.
    static void ExpectErrorBox(const std::vector<SeenModal>& seen, const QString& text) {
        ASSERT_EQ(seen.size(), 1u) << "expected one error box";
        const SeenModal& box = seen[0];
        EXPECT_EQ(box.className, "QMessageBox");
        EXPECT_EQ(box.title, ui::AppTitle());
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.buttons.size(), 1);
        EXPECT_EQ(box.text, text);
        EXPECT_TRUE(box.closedByKey) << "Enter must close the error box";
    }

    std::shared_ptr<TLinkTable> savedLinks_;

private:
    QString savedPath_;
    QString savedDir_;
    QPointer<QWidget> savedFocus_;
};

TEST_F(MainWindow, StartsWithTitleDefaultTokensAndJapaneseFonts) {
    EXPECT_EQ(Main()->windowTitle(), QStringLiteral("Quorvane [QVN]"));
    EXPECT_EQ(Setting.Title, "_TITLE_");
    EXPECT_EQ(Setting.URL, "_URL_");
    EXPECT_EQ(Setting.Author, "_AUTHOR_");
    EXPECT_EQ(Setting.Explain, "_EXPLAIN_");
    EXPECT_EQ(Edit()->text(), QString::fromUtf8(kInitialPath));
    // The icon is built into the program (a resource lost in linking leaves it empty).
    EXPECT_EQ(QApplication::windowIcon().actualSize(QSize(32, 32)), QSize(32, 32));
    Main()->activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("btnRefer"));

    // The window's font name is not on this system: the substitute must draw Japanese.
    const QFontMetrics metrics(Edit()->font());
    for (char32_t c : {U'参', U'テ', U'ゴ'})
        EXPECT_TRUE(metrics.inFontUcs4(c)) << "no glyph for U+" << std::hex << unsigned(c) << " in "
                                           << QFontInfo(Edit()->font()).family().toStdString();

    // Panel1 carries the controls and follows the window's size.
    auto* panel = Find<QWidget>("Panel1");
    Main()->resize(Main()->width() + 120, Main()->height() + 40);
    QApplication::processEvents();
    EXPECT_EQ(panel->size(), Main()->centralWidget()->size());
    EXPECT_EQ(panel, Main()->centralWidget());
    EXPECT_EQ(Find<QPushButton>("Button2")->parentWidget(), panel);
}

TEST_F(MainWindow, BuildsSavesAndConfirmsTypicalRoad) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    dir.Write("page.html", "old contents that must be replaced");
    LoadTwoRecords();

    {
        Type(QString::fromStdString(dir.Path("links.html")));
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
        ModalLog log(Qt::Key_Escape);
        ClickBuild();

        EXPECT_EQ(Setting.TemplatePath, dir.Path("links.html"));
        EXPECT_EQ(dir.Read("page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        const SeenModal& message = log.Seen()[0];
        EXPECT_EQ(message.title, ui::AppTitle());
        EXPECT_EQ(message.text, QStringLiteral("正常に保存されました"));
        EXPECT_EQ(message.icon, QMessageBox::NoIcon);
        EXPECT_EQ(message.buttons, QStringList{QStringLiteral("OK")});
        EXPECT_TRUE(message.closedByKey) << "Esc must answer the message";
        const QPoint off = message.frame.center() - message.screen.center();
        EXPECT_LE(off.manhattanLength(), 2) << "the message is not centred on the screen";
        // The save dialog moved the current folder to the page's folder.
        EXPECT_EQ(QDir::current().canonicalPath(),
                  QDir(QString::fromStdString(dir.Path(""))).canonicalPath());
    }

    // A second build reads the template afresh but keeps the loaded link data; Enter answers too.
    dir.Write("links.html", "_HEAD_\r\nnew\r\n_FRAME_\r\n<_TITLE_>\r\n_FOOT_\r\nend\r\n");
    ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page2")));
    ModalLog again(Qt::Key_Return);
    ClickBuild();
    EXPECT_EQ(dir.Read("page2"), "new\r\n<s1>\r\n<s2>\r\nend\r\n") << "no extension added";
    ASSERT_EQ(again.Seen().size(), 1u);
    EXPECT_TRUE(again.Seen()[0].closedByKey) << "Enter must answer the message";
}

TEST_F(MainWindow, FailuresShowErrorBoxAndWindowGoesOn) {
    TempDir dir;
    dir.Write("nomarker.html", "_HEAD_\r\nhead\r\n_FRAME_\r\nframe\r\n");
    dir.Write("links.html", kTemplate);

    {
        SCOPED_TRACE("no link data loaded");
        Type(QString::fromStdString(dir.Path("links.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("リンクデータが読み込まれていません."));
    }
    LoadTwoRecords();
    {
        SCOPED_TRACE("missing template");
        Type(QString::fromStdString(dir.Path("missing.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル %1 は開けません.")
                                       .arg(QString::fromStdString(dir.Path("missing.html"))));
        EXPECT_EQ(Setting.TemplatePath, dir.Path("missing.html")) << "path stored before the build";
    }
    {
        SCOPED_TRACE("missing foot marker");
        Type(QString::fromStdString(dir.Path("nomarker.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("リストのインデックスが範囲を超えています (4)"));
    }
    {
        SCOPED_TRACE("output that cannot be created");
        Type(QString::fromStdString(dir.Path("links.html")));
        const QString out = QString::fromStdString(dir.Path("no-such-folder/page.html"));
        ui::FileDialog::SetNextFileName(out);
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル %1 を作成できません.").arg(out));
    }
    {
        SCOPED_TRACE("output name with a character code page 932 lacks");
        Type(QString::fromStdString(dir.Path("links.html")));
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("☃.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル %1 を作成できません.")
                                       .arg(QString::fromStdString(dir.Path("?.html"))));
        EXPECT_FALSE(dir.Exists("☃.html"));
        EXPECT_FALSE(dir.Exists("?.html"));
    }
    {
        SCOPED_TRACE("the window still works");
        Type(QString::fromStdString(dir.Path("links.html")));
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
        ModalLog log;
        ClickBuild();
        EXPECT_EQ(dir.Read("page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].text, QStringLiteral("正常に保存されました"));
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(Main()->isVisible());
}

TEST_F(MainWindow, UntouchedInitialPathFailsNamingIt) {
    LoadTwoRecords();
    TempDir dir;
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    ModalLog log;
    ClickBuild();
    ExpectErrorBox(
        log.Seen(),
        QStringLiteral("ファイル %1 は開けません.").arg(QString::fromUtf8(kInitialPath)));
}

TEST_F(MainWindow, CancelInSaveDialogWritesAndShowsNothing) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    dir.Write("page.html", "kept");
    LoadTwoRecords();
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    Type(QStringLiteral("links.html"));

    ui::FileDialog::SetNextFileName(QString()); // the user cancels
    ModalLog log;
    ClickBuild();
    QTest::qWait(50); // a message shown late would still be caught

    EXPECT_TRUE(log.Seen().empty()) << log.Seen()[0].className.toStdString();
    EXPECT_EQ(dir.Read("page.html"), "kept");
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files).size(), 2);
}

// What a file dialog offered when it opened.
struct SeenFileDialog {
    bool qtOwn = false;
    bool promptsOverwrite = true;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QStringList filters;
    QString defaultSuffix;
    QString nameBox;
    QString folder;
};

// Records the dialog, then confirms name (or cancels when name is empty).
std::function<void(QFileDialog*)> Answer(SeenFileDialog& seen, const QString& name) {
    return [&seen, name](QFileDialog* d) {
        seen.qtOwn = d->testOption(QFileDialog::DontUseNativeDialog);
        seen.promptsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
        seen.mode = d->acceptMode();
        seen.filters = d->nameFilters();
        seen.defaultSuffix = d->defaultSuffix();
        auto* box = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(box, nullptr);
        seen.nameBox = box->text();
        seen.folder = d->directory().absolutePath();
        if (name.isEmpty()) {
            d->reject();
        } else {
            box->setText(name);                 // as typed into the file-name box
            static_cast<QDialog*>(d)->accept(); // QFileDialog::accept, which checks the name
        }
    };
}

TEST_F(MainWindow, FileDialogsAreQtsOwnAndRememberTheLastName) {
    TempDir dir;
    QDir().mkdir(QString::fromStdString(dir.Path("site")));
    dir.Write("site/links.html", kTemplate);
    dir.Write("site/page.html", "old");
    LoadTwoRecords();
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    const QString site = QDir(QString::fromStdString(dir.Path("site"))).canonicalPath();
    const QStringList html{QStringLiteral("HTML 形式 (*.html *.htm)")};

    {
        SCOPED_TRACE("参照 confirmed");
        SeenFileDialog seen;
        ModalLog log(Qt::Key_Return, Answer(seen, site + QStringLiteral("/links.html")));
        Find<QPushButton>("btnRefer")->click();
        EXPECT_TRUE(seen.qtOwn);
        EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
        EXPECT_EQ(seen.filters, html);
        EXPECT_EQ(seen.nameBox, QString()) << "empty the first time";
        EXPECT_EQ(Edit()->text(), site + QStringLiteral("/links.html"));
        EXPECT_EQ(QDir::current().canonicalPath(), site) << "the current folder follows the choice";
    }
    {
        SCOPED_TRACE("参照 cancelled");
        Edit()->setText(QStringLiteral("links.html"));
        SeenFileDialog seen;
        ModalLog log(Qt::Key_Return, Answer(seen, QString()));
        Find<QPushButton>("btnRefer")->click();
        EXPECT_EQ(seen.nameBox, QStringLiteral("links.html")) << "the last confirmed name";
        EXPECT_EQ(Edit()->text(), QStringLiteral("links.html"));
    }
    {
        SCOPED_TRACE("save dialog");
        SeenFileDialog seen;
        ModalLog log(Qt::Key_Return, Answer(seen, site + QStringLiteral("/page.html")));
        ClickBuild();
        EXPECT_TRUE(seen.qtOwn);
        EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
        EXPECT_EQ(seen.filters, html);
        EXPECT_FALSE(seen.promptsOverwrite);
        EXPECT_EQ(seen.defaultSuffix, QString());
        EXPECT_EQ(seen.folder, site);
        EXPECT_EQ(dir.Read("site/page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 2u);
        EXPECT_EQ(log.Seen()[1].text, QStringLiteral("正常に保存されました"));
    }
}

TEST_F(MainWindow, TypedTextBecomesCodePage932) {
    TempDir dir;
    dir.Write("テンプレート.html", kTemplate);
    dir.Write("a?.html", kTemplate); // what a careless conversion would open instead
    LoadTwoRecords();
    QDir::setCurrent(QString::fromStdString(dir.Path("")));

    {
        SCOPED_TRACE("Japanese file name");
        Type(QStringLiteral("テンプレート.html"));
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("出力.html")));
        ModalLog log;
        ClickBuild();
        EXPECT_EQ(Setting.TemplatePath, kJapaneseNameCp932);
        EXPECT_EQ(dir.Read("出力.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].text, QStringLiteral("正常に保存されました"));
    }
    {
        SCOPED_TRACE("character outside code page 932");
        Type(QStringLiteral("a☃.html"));
        ModalLog log;
        ClickBuild();
        EXPECT_EQ(Setting.TemplatePath, "a?.html");
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル a?.html は開けません."));
    }
    {
        SCOPED_TRACE("wave dash that code page 932 folds");
        // U+301C (wave dash) becomes the code page 932 form of U+FF5E (fullwidth tilde); the
        // typed name must not reach the file named with U+FF5E.
        dir.Write("x\uFF5E.html", kTemplate);
        Type(QStringLiteral("x\u301C.html"));
        ModalLog log;
        ClickBuild();
        EXPECT_EQ(Setting.TemplatePath, "x\x81\x60.html");
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル x\uFF5E.html は開けません."));
    }
}

TEST_F(MainWindow, DropTakesFirstOfSeveralFiles) {
    TempDir dir;
    const QString first = QString::fromStdString(dir.Path("first template.html"));
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls({QUrl::fromLocalFile(first),
                   QUrl::fromLocalFile(QString::fromStdString(dir.Path("second.html"))),
                   QUrl::fromLocalFile(QString::fromStdString(dir.Path("third.html")))});
    mime->setText(QStringLiteral("text that must not be inserted"));

    // Dropped through the window system onto the edit itself and onto a button: the window as
    // a whole takes the drop.
    for (const char* target : {"edPath", "Button1"}) {
        SCOPED_TRACE(target);
        Edit()->setText(QStringLiteral("before"));
        auto* w = Find<QWidget>(target);
        QWindow* window = Main()->windowHandle();
        ASSERT_NE(window, nullptr);
        const QPoint at = w->mapTo(Main(), w->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        EXPECT_EQ(Edit()->text(), first);
    }
}

TEST_F(MainWindow, MenuAndButtonsOpenTheirWindowsModally) {
    const ui::Forms& forms = AppForms();
    auto* menuBar = Find<QMenuBar>("menuMain");
    // "設定" and "終了" are commands on the bar itself, help a drop-down.
    const QList<QAction*> bar = menuBar->actions();
    ASSERT_EQ(bar.size(), 3);
    EXPECT_EQ(bar[0], Find<QAction>("File1"));
    EXPECT_EQ(bar[0]->menu(), nullptr);
    EXPECT_EQ(bar[1]->menu(), Find<QMenu>("Help1"));
    EXPECT_EQ(bar[2], Find<QAction>("Exit1"));
    EXPECT_EQ(bar[2]->menu(), nullptr);

    struct Case {
        const char* what;
        std::function<void()> command;
        QWidget* window;
    };
    const std::vector<Case> cases = {
        {"設定", [] { Find<QAction>("File1")->trigger(); }, forms.frmSetting},
        {"バージョン情報", [] { Find<QAction>("About1")->trigger(); }, forms.frmVer},
        {"入力データ読込", [] { Find<QPushButton>("Button1")->click(); }, forms.frmTable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModalLog log;
        c.command();
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].widget, c.window);
        EXPECT_FALSE(c.window->isVisible());
    }

    Find<QAction>("Exit1")->trigger();
    EXPECT_FALSE(Main()->isVisible());
}

TEST_F(MainWindow, EnterPressesTheFocusedButtonAndDoesNothingInTheEdit) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    LoadTwoRecords();
    const QString templatePath = QString::fromStdString(dir.Path("links.html"));
    auto press = [](const char* button, Qt::Key key) {
        auto* b = Find<QPushButton>(button);
        b->setFocus();
        QTest::keyClick(b, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    };
    {
        SCOPED_TRACE("the edit");
        Type(templatePath);
        ModalLog log; // a build would open the save dialog
        QTest::keyClick(Edit(), Qt::Key_Return);
        QTest::keyClick(Edit(), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::qWait(30);
        EXPECT_TRUE(log.Seen().empty());
    }
    {
        SCOPED_TRACE("参照");
        ModalLog log; // cancels the dialog, so its memory of a name stays as it was
        press("btnRefer", Qt::Key_Return);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].className, "QFileDialog");
    }
    {
        SCOPED_TRACE("入力データ読込");
        ModalLog log;
        press("Button1", Qt::Key_Enter);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].widget, AppForms().frmTable);
    }
    {
        SCOPED_TRACE("編集/出力");
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
        ModalLog log;
        press("Button2", Qt::Key_Return);
        EXPECT_EQ(dir.Read("page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].text, QStringLiteral("正常に保存されました"));
    }
}

// Qt's own dialog in the program's language, its columns wide enough for what they show.
TEST_F(MainWindow, FileDialogSpeaksJapaneseAndShowsItsColumnsWhole) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    dir.Write("a template with a rather long name.htm", kTemplate);
    QDir::setCurrent(QString::fromStdString(dir.Path("")));

    QString cancel;
    bool fits = false;
    ModalLog log(Qt::Key_Return, [&](QFileDialog* d) {
        auto* buttons = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(buttons, nullptr);
        cancel = buttons->button(QDialogButtonBox::Cancel)->text();
        auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(tree, nullptr);
        const QAbstractItemView* view = tree;
        QHeaderView* header = tree->header();
        fits = QTest::qWaitFor(
            [&] {
                if (tree->model()->rowCount(tree->rootIndex()) != 2)
                    return false;
                for (int col = 0; col < header->count(); ++col) {
                    if (!header->isSectionHidden(col) &&
                        (header->sectionSize(col) < view->sizeHintForColumn(col) ||
                         header->sectionSize(col) < header->sectionSizeHint(col)))
                        return false;
                }
                return true;
            },
            3000);
        d->reject();
    });
    Find<QPushButton>("btnRefer")->click();
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
    EXPECT_TRUE(fits) << "a column of the file list is narrower than its texts";
}

TEST_F(MainWindow, HelpShowsThePageInItsOwnWindowOrNamesAMissingFile) {
    TempDir dir;
    const QString missing = QString::fromStdString(dir.Path("qvn-help.html"));
    Main()->SetHelpFile(missing);
    {
        ModalLog log;
        Find<QAction>("Help2")->trigger();
        ExpectErrorBox(log.Seen(),
                       QStringLiteral("ヘルプファイル %1 が見つかりません.").arg(missing));
    }

    // The page the program ships, read as the UTF-8 it is.
    Main()->SetHelpFile(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../help/qvn-help.html"));
    ModalLog log;
    Find<QAction>("Help2")->trigger();
    auto* help = Find<QWidget>("TfrmHelp");
    auto* page = Control<QTextBrowser>(help, "tbHelp");
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("QVN のヘルプ"));
    EXPECT_TRUE(page->toPlainText().startsWith(QStringLiteral("Quorvane [QVN] のヘルプ")))
        << page->toPlainText().left(80).toStdString();
    // It does not block: no modal window, and the main window's commands still run.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Find<QAction>("About1")->trigger();
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_EQ(log.Seen()[0].widget, AppForms().frmVer);

    // Asked for again, the one window comes back from the task bar.
    help->showMinimized();
    Find<QAction>("Help2")->trigger();
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isMinimized());
    EXPECT_EQ(Main()->findChildren<TfrmHelp*>().size(), 1);
    help->close();
}

} // namespace
} // namespace qvn::test
