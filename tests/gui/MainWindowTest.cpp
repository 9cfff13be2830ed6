// The main window of the real application: the build-and-save road, failures in the error box,
// the save dialog's cancel, drops, any file name, the check before a build, the menu and the
// help page.
#include "AppInfo.h"
#include "FileDialog.h"
#include "FileIO.h"
#include "GuiTestSupport.h"
#include "UDec.h"
#include "UHelp.h"
#include "UList.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace qvn::test {
namespace {

const char* const kTemplate = "top\r\n_HEAD_\r\nstart\r\n_FRAME_\r\n"
                              "[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\r\n_FOOT_\r\nend\r\n";
const char* const kPage = "start\r\n[s1](u1) by a1: d1\r\n[s2](u2) by a2: d2\r\nend\r\n";
const char* const kInitialPath = "ここにテンプレートファイルへのパスを入力してください。";

// The system's reason, as the error box gives it after the message, for a file that does not
// exist, or that is in a folder that does not exist (folder): Windows' own wording of its error
// code, or the C library's text for ENOENT.
std::string MissingReason(bool folder) {
#ifdef _WIN32
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, folder ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND,
                                     0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = QString::fromWCharArray(text, n);
    ::LocalFree(text);
    while (reason.endsWith(QLatin1Char('\n')) || reason.endsWith(QLatin1Char('\r')) ||
           reason.endsWith(QLatin1Char(' ')) || reason.endsWith(QLatin1Char('.')) ||
           reason.endsWith(QChar(0x3002)))
        reason.chop(1);
    return reason.toStdString();
#else
    (void)folder;
    return SystemReason(ENOENT);
#endif
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = Edit()->text();
        savedDir_ = QDir::currentPath();
        savedLinks_ = std::move(AppSetting().LinkList);
        savedFocus_ = Main()->focusWidget();
        Main()->show();
        QApplication::processEvents();
    }

    void TearDown() override {
        Edit()->setText(savedPath_);
        QDir::setCurrent(savedDir_);
        AppSetting().LinkList = std::move(savedLinks_);
        AppSetting().LinkListFile = {};
        if (savedFocus_)
            savedFocus_->setFocus();
    }

    static TfrmMain* Main() { return AppForms().frmMain; }
    template <typename T> static T* Find(const char* name) { return Control<T>(Main(), name); }
    static QLineEdit* Edit() { return Find<QLineEdit>("edPath"); }

    static void LoadTwoRecords() {
        AppSetting().LinkList =
            std::make_shared<TLinkTable>(TLinkTable::Parse("s1,u1,a1,d1\r\ns2,u2,a2,d2\r\n"));
        AppSetting().LinkListFile = {};
    }

    // Loads the data file through the link list window's "読み込み", as the user does.
    static void LoadThroughListWindow(const std::string& path) {
        QWidget* table = AppForms().frmTable;
        Control<QLineEdit>(table, "edPath")->setText(QString::fromStdString(path));
        Control<QPushButton>(table, "btnLoad")->click();
        ASSERT_EQ(AppSetting().LinkListFile.Display(), path) << "the load failed";
    }

    // Text as the user types it: a Japanese input method commits whole strings.
    static void Type(const QString& text) {
        Edit()->clear();
        CommitText(Edit(), text);
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

// The first button has the focus at start-up; the window's font name is not on this system, and
// the substitute, in the edits and the menus alike, must draw Japanese.
TEST_F(MainWindow, StartsWithFocusOnReferAndJapaneseFonts) {
    Main()->activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("btnRefer"));

    const QFontMetrics metrics(Edit()->font());
    for (char32_t c : {U'参', U'テ', U'ゴ'})
        EXPECT_TRUE(metrics.inFontUcs4(c)) << "no glyph for U+" << std::hex << unsigned(c) << " in "
                                           << QFontInfo(Edit()->font()).family().toStdString();
    const QString face = QFontInfo(Edit()->font()).family();
    EXPECT_EQ(QFontInfo(Find<QMenuBar>("menuMain")->font()).family(), face);
    EXPECT_EQ(QFontInfo(Find<QMenu>("Help1")->font()).family(), face);
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

        EXPECT_EQ(AppSetting().TemplatePath, dir.Path("links.html"));
        EXPECT_EQ(dir.Read("page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        const SeenModal& message = log.Seen()[0];
        EXPECT_EQ(message.title, ui::AppTitle());
        EXPECT_EQ(message.text, QStringLiteral("正常に保存されました"));
        EXPECT_TRUE(message.closedByKey) << "Esc must answer the message";
        const QPoint off = message.frame.center() - message.screen.center();
        EXPECT_LE(off.manhattanLength(), 2) << "the message is not centred on the screen";
        // The save dialog moved the current folder to the page's folder.
        EXPECT_EQ(QDir::current().canonicalPath(),
                  QDir(QString::fromStdString(dir.Path(""))).canonicalPath());
    }

    // A second build reads the template afresh but keeps the loaded link data; Enter answers too.
    dir.Write(
        "links.html",
        "_HEAD_\r\nnew\r\n_FRAME_\r\n<_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_>\r\n_FOOT_\r\nend\r\n");
    ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page2")));
    ModalLog again(Qt::Key_Return);
    ClickBuild();
    EXPECT_EQ(dir.Read("page2"), "new\r\n<s1 u1 a1 d1>\r\n<s2 u2 a2 d2>\r\nend\r\n")
        << "no extension added";
    ASSERT_EQ(again.Seen().size(), 1u);
    EXPECT_TRUE(again.Seen()[0].closedByKey) << "Enter must answer the message";
}

// Each failure shows the core's message in the error box, with the system's reason or the check's
// explanation under it, names as written; no file is lost and the window goes on. (The messages
// themselves are the core's: PageTest, SaveTest, CodecTest, and CliTest for the refusals.)
TEST_F(MainWindow, FailuresShowErrorBoxAndWindowGoesOn) {
    TempDir dir;
    dir.Write("broken.html", "_HEAD_\r\nh\r\n_FRAME_\r\nf\r\n_FOOT_ \r\nend\r\n");
    dir.Write("links.html", kTemplate);
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    {
        SCOPED_TRACE("no link data loaded");
        Type(QString::fromStdString(dir.Path("links.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("リンクデータが読み込まれていません."));
    }
    LoadTwoRecords();
    {
        SCOPED_TRACE("the untouched prompt, taken as a path");
        ModalLog log;
        Edit()->setText(QString::fromUtf8(kInitialPath));
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル %1 は開けません. (%2)")
                                       .arg(QString::fromUtf8(kInitialPath),
                                            QString::fromStdString(MissingReason(false))));
    }
    {
        SCOPED_TRACE("missing template, named as typed");
        Type(QStringLiteral("なし😀.html"));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("ファイル なし😀.html は開けません. (%1)")
                                       .arg(QString::fromStdString(MissingReason(false))));
        EXPECT_EQ(AppSetting().TemplatePath, "なし😀.html") << "path stored before the build";
    }
    {
        SCOPED_TRACE("a template the builder cannot cut, explained by the check");
        Type(QString::fromStdString(dir.Path("broken.html")));
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(log.Seen(), QStringLiteral("リストのインデックスが範囲を超えています (6)"));
        ASSERT_EQ(log.Seen().size(), 1u);
        // The check puts the error on the line that was almost the missing marker.
        const QStringList lines = log.Seen()[0].informativeText.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 1) << log.Seen()[0].informativeText.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("broken.html:5:")))
            << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(QStringLiteral("_FOOT_")));
    }
    {
        // The data file loaded in the link list window (under a name code page 932 lacks) is
        // never replaced by the page, whatever name reaches it.
        SCOPED_TRACE("the page over the loaded data file");
        const std::string links = "s1,u1,a1,d1\r\ns2,u2,a2,d2\r\n";
        dir.Write("links-café😀.csv", links);
        QDir().mkdir(QString::fromStdString(dir.Path("sub")));
        LoadThroughListWindow(dir.Path("links-café😀.csv"));
        Type(QString::fromStdString(dir.Path("links.html")));
        const QString out = QString::fromStdString(dir.Path("sub/../links-café😀.csv"));
        ui::FileDialog::SetNextFileName(out);
        ModalLog log;
        ClickBuild();
        ExpectErrorBox(
            log.Seen(),
            QStringLiteral("ファイル %1 はリンクデータのファイルです: ページで置き換えると"
                           "失われるため、書き込みません.")
                .arg(Shown(QFileInfo(out).absoluteFilePath())));
        EXPECT_EQ(dir.Read("links-café😀.csv"), links);
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
        EXPECT_EQ(Edit()->text(), Shown(site + QStringLiteral("/links.html")));
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
        ModalLog log(Qt::Key_Return, Answer(seen, site + QStringLiteral("/page")));
        ClickBuild();
        EXPECT_TRUE(seen.qtOwn);
        EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
        EXPECT_EQ(seen.filters, html);
        EXPECT_EQ(seen.defaultSuffix, QString());
        EXPECT_EQ(seen.folder, site);
        EXPECT_EQ(dir.Read("site/page"), kPage) << "no extension added";
        ASSERT_EQ(log.Seen().size(), 2u);
        EXPECT_EQ(log.Seen()[1].text, QStringLiteral("正常に保存されました"));
    }
}

// Confirms the save dialog's name as it stands, answering the question before a file is replaced
// with the button captioned answer, or with Enter when answer is empty; the question's text in
// asked. Returns whether the dialog stayed open.
bool ConfirmAndAnswer(QFileDialog* dialog, const QString& answer, QString& asked) {
    auto* timer = new QTimer(dialog); // gone with the dialog, should no question come
    QObject::connect(timer, &QTimer::timeout, [timer, &asked, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        asked = box->text() + QLatin1Char('|') + box->buttons()[0]->text() + QLatin1Char('|') +
                box->buttons()[1]->text();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == answer)
                b->click();
        }
        if (answer.isEmpty())
            QTest::keyClick(box, Qt::Key_Return);
    });
    timer->start(10);
    static_cast<QDialog*>(dialog)->accept();
    return dialog->isVisible();
}

// The save dialog asks before it replaces a file: Enter answers 「いいえ」, which keeps the file
// and the dialog open with an empty name box, and the refused name is not offered at the next
// opening; 「はい」 replaces the file. (qvn-build replaces without asking.)
TEST_F(MainWindow, SaveDialogAsksBeforeReplacingAFile) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    LoadTwoRecords();
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    Type(QStringLiteral("links.html"));
    ui::FileDialog::SetNextFileName(QStringLiteral("page.html")); // the dialog's last name
    {
        ModalLog log;
        ClickBuild();
    }
    dir.Write("page.html", "old");

    const QString question =
        QStringLiteral("page.html は既に存在します。置き換えますか?|はい|いいえ");
    QString asked, refused = QStringLiteral("?"), reopened = QStringLiteral("?");
    {
        ModalLog log(Qt::Key_Return, [&](QFileDialog* d) {
            EXPECT_TRUE(ConfirmAndAnswer(d, QString(), asked)); // the name it opened with
            refused = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            d->reject();
        });
        ClickBuild();
    }
    EXPECT_EQ(asked, question);
    EXPECT_EQ(refused, QString());
    EXPECT_EQ(dir.Read("page.html"), "old");

    asked.clear();
    ModalLog log(Qt::Key_Return, [&](QFileDialog* d) {
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        reopened = name->text();
        name->setText(QStringLiteral("page.html"));
        EXPECT_FALSE(ConfirmAndAnswer(d, QStringLiteral("はい"), asked));
    });
    ClickBuild();
    EXPECT_EQ(reopened, QString()) << "the refused name is offered again";
    EXPECT_EQ(asked, question);
    EXPECT_EQ(dir.Read("page.html"), kPage);
}

// A name is the file system's own (UTF-8): any name it holds can be typed (and so picked or
// dropped) and reaches exactly that file. (A message names it as written: the failures' test.)
TEST_F(MainWindow, AnyFileNameOpensAndIsNamedAsWritten) {
    TempDir dir;
    LoadTwoRecords();
    QDir::setCurrent(QString::fromStdString(dir.Path("")));
    // U+301C (wave dash) and U+FF5E (fullwidth tilde) share one code page 932 form: each name
    // must reach its own file.
    dir.Write("x\uFF5E.html", "no markers\r\n");
    for (const char* name :
         {"テンプレート.html", "café.html", "한국어.html", "😀.html", "x\u301C.html"}) {
        SCOPED_TRACE(name);
        dir.Write(name, kTemplate);
        Type(QString::fromUtf8(name));
        ui::FileDialog::SetNextFileName(
            QString::fromStdString(dir.Path("out-" + std::string(name))));
        ModalLog log;
        ClickBuild();
        EXPECT_EQ(AppSetting().TemplatePath, name);
        EXPECT_EQ(dir.Read("out-" + std::string(name)), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].text, QStringLiteral("正常に保存されました"));
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
        EXPECT_TRUE(Drop(window, w->mapTo(Main(), w->rect().center()), *mime).entered);
        EXPECT_EQ(Edit()->text(), Shown(first));
    }
}

TEST_F(MainWindow, MenuAndButtonsOpenTheirWindowsModally) {
    const ui::Forms& forms = AppForms();
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
        PressFocused(Find<QPushButton>("btnRefer"), Qt::Key_Return);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].className, "QFileDialog");
    }
    {
        SCOPED_TRACE("入力データ読込");
        ModalLog log;
        PressFocused(Find<QPushButton>("Button1"), Qt::Key_Enter);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].widget, AppForms().frmTable);
    }
    {
        SCOPED_TRACE("編集/出力");
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
        ModalLog log;
        PressFocused(Find<QPushButton>("Button2"), Qt::Key_Return);
        EXPECT_EQ(dir.Read("page.html"), kPage);
        ASSERT_EQ(log.Seen().size(), 1u);
        EXPECT_EQ(log.Seen()[0].text, QStringLiteral("正常に保存されました"));
    }
}

// Qt's own dialog in the program's language, a folder's type included, its columns wide enough
// for what they show.
TEST_F(MainWindow, FileDialogSpeaksJapaneseAndShowsItsColumnsWhole) {
    TempDir dir;
    dir.Write("links.html", kTemplate);
    dir.Write("a template with a rather long name.htm", kTemplate);
    QDir().mkdir(QString::fromStdString(dir.Path("site")));
    QDir::setCurrent(QString::fromStdString(dir.Path("")));

    QString folderType;
    bool fits = false;
    ModalLog log(Qt::Key_Return, [&](QFileDialog* d) {
        auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(tree, nullptr);
        const QAbstractItemView* view = tree;
        QHeaderView* header = tree->header();
        fits = QTest::qWaitFor(
            [&] {
                if (tree->model()->rowCount(tree->rootIndex()) != 3)
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
        // The folder's row, wherever the model's sorting, which runs later, has put it yet.
        const QAbstractItemModel* files = tree->model();
        for (int row = 0; row < files->rowCount(tree->rootIndex()); ++row) {
            const QModelIndex name = files->index(row, 0, tree->rootIndex());
            if (name.data().toString() == QStringLiteral("site"))
                folderType = name.siblingAtColumn(2).data().toString();
        }
        d->reject();
    });
    Find<QPushButton>("btnRefer")->click();
    ASSERT_EQ(log.Seen().size(), 1u);
    EXPECT_FALSE(folderType.isEmpty());
    EXPECT_FALSE(folderType.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
        << folderType.toStdString();
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
                       QStringLiteral("ヘルプファイル %1 が見つかりません.").arg(Shown(missing)));
    }

    // The page the program ships, read as the UTF-8 it is.
    Main()->SetHelpFile(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../help/qvn-help.html"));
    ModalLog log;
    Find<QAction>("Help2")->trigger();
    TfrmHelp* help = Main()->HelpWindow();
    ASSERT_NE(help, nullptr);
    auto* page = Control<QTextBrowser>(help, "tbHelp");
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("ヘルプ")))
        << page->toPlainText().left(80).toStdString();
    EXPECT_FALSE(page->toPlainText().contains(QChar(0xFFFD))) << "not read as UTF-8";
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
    EXPECT_EQ(Main()->HelpWindow(), help);
    help->close();
}

// What the user saw of the dialog before the build, and the answer given.
struct SeenFindings {
    QString title;
    QStringList buttons;
    QString findings;
};

// Answers the dialog before the build: a button's caption, or an empty caption for Esc. Any
// other modal window is cancelled and leaves the title empty.
void AnswerFindings(SeenFindings& seen, const QString& caption) {
    WhenModal([&seen, caption](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        if (modal->windowTitle() != QStringLiteral("出力前の確認")) {
            dialog->reject();
            return;
        }
        seen.title = modal->windowTitle();
        for (auto* b : modal->findChildren<QPushButton*>())
            seen.buttons << b->text();
        seen.findings = modal->findChild<QPlainTextEdit*>()->toPlainText();
        if (caption.isEmpty()) {
            QTest::keyClick(modal, Qt::Key_Escape);
            return;
        }
        for (auto* b : modal->findChildren<QPushButton*>()) {
            if (b->text() == caption)
                b->click();
        }
    });
}

// Before the build the inputs are checked as qvn-build --check checks them: findings are listed
// in "出力前の確認"; "やめる" and Esc stop before the save dialog, "出力する" goes on to it.
TEST_F(MainWindow, FindingsAreShownBeforeTheBuildAndTheUserChooses) {
    TempDir dir;
    dir.Write("short.csv", "s1,u1,a1,d1\r\ns2,d2\r\n"); // the second line has one comma
    dir.Write("links.html", kTemplate);
    dir.Write("page.html", "old");
    LoadThroughListWindow(dir.Path("short.csv"));
    Type(QString::fromStdString(dir.Path("links.html")));

    for (const QString& answer : {QStringLiteral("やめる"), QString()}) {
        SCOPED_TRACE(answer.toStdString());
        SeenFindings seen;
        AnswerFindings(seen, answer);
        ClickBuild();
        WaitNoModal();
        EXPECT_EQ(seen.title, QStringLiteral("出力前の確認"));
        EXPECT_TRUE(seen.findings.startsWith(QStringLiteral("short.csv:2: ")))
            << seen.findings.toStdString();
        EXPECT_EQ(dir.Read("page.html"), "old");
    }

    {
        SeenFindings seen;
        AnswerFindings(seen, QStringLiteral("出力する"));
        ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
        ModalLog log; // the confirmation after the save
        ClickBuild();
        EXPECT_EQ(seen.title, QStringLiteral("出力前の確認"));
        EXPECT_EQ(dir.Read("page.html"),
                  "start\r\n[s1](u1) by a1: d1\r\n[s2]() by : d2\r\nend\r\n");
    }

    // A clean pair asks nothing: the save follows at once; so does a data file gone since its
    // load, which the page, built from the loaded list, does not need.
    dir.Write("gone.csv", "s1,u1,a1,d1\r\n");
    LoadThroughListWindow(dir.Path("gone.csv"));
    std::filesystem::remove(NativePath(dir.Path("gone.csv")));
    ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
    {
        ModalLog gone;
        ClickBuild();
        ASSERT_EQ(gone.Seen().size(), 1u);
        EXPECT_EQ(gone.Seen()[0].text, QStringLiteral("正常に保存されました"));
    }
    dir.Write("links.csv", "s1,u1,a1,d1\r\ns2,u2,a2,d2\r\n");
    LoadThroughListWindow(dir.Path("links.csv"));
    ui::FileDialog::SetNextFileName(QString::fromStdString(dir.Path("page.html")));
    ModalLog clean;
    ClickBuild();
    ASSERT_EQ(clean.Seen().size(), 1u);
    EXPECT_EQ(clean.Seen()[0].text, QStringLiteral("正常に保存されました"));
    EXPECT_EQ(dir.Read("page.html"), kPage);
}

// The help window answers the keyboard while any other window of the program is modal.
TEST_F(MainWindow, HelpStaysUsableBesideEveryModalWindow) {
    Main()->SetHelpFile(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../help/qvn-help.html"));
    Find<QAction>("Help2")->trigger();
    TfrmHelp* help = Main()->HelpWindow();
    ASSERT_NE(help, nullptr);
    help->resize(400, 200);
    auto* page = Control<QTextBrowser>(help, "tbHelp");
    page->setFocus();
    LoadTwoRecords();
    Type(QStringLiteral("missing.html")); // "編集/出力" shows the error box

    const std::vector<std::pair<const char*, std::function<void()>>> openers = {
        {"link list", [] { Find<QPushButton>("Button1")->click(); }},
        {"settings", [] { Find<QAction>("File1")->trigger(); }},
        {"about", [] { Find<QAction>("About1")->trigger(); }},
        {"file dialog", [] { Find<QPushButton>("btnRefer")->click(); }},
        {"error box", [] { ClickBuild(); }},
    };
    for (const auto& [name, open] : openers) {
        SCOPED_TRACE(name);
        page->verticalScrollBar()->setValue(0);
        int scrolled = -1;
        WhenModal([&](QWidget* modal) {
            QTest::keyClick(help->windowHandle(), Qt::Key_PageDown);
            scrolled = page->verticalScrollBar()->value();
            static_cast<QDialog*>(modal)->done(QDialog::Rejected);
        });
        open();
        WaitNoModal();
        EXPECT_GT(scrolled, 0) << "the help window did not scroll";
    }
    help->close();
}

// A wider main window gives its width to the path field, and the buttons on the right keep their
// distance from its edge; a tooltip shown goes, as it would stand over something else. The link
// list window cannot be made so small that its file buttons leave it.
TEST_F(MainWindow, ResizedWindowsLayOutTheirControls) {
    auto rightEdge = [](const char* name) { return Find<QWidget>(name)->geometry().right(); };
    const QSize opened = Main()->size();
    const int edit = Edit()->width(), refer = rightEdge("btnRefer"), build = rightEdge("Button2");
    QToolTip::showText(Main()->mapToGlobal(QPoint(20, 30)), QStringLiteral("tip"), Main());
    ASSERT_TRUE(QToolTip::isVisible());
    Main()->resize(opened + QSize(150, 40));
    Settle(Main());
    // Qt takes a tooltip away after a short fade.
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(Edit()->width(), edit + 150);
    EXPECT_EQ(rightEdge("btnRefer"), refer + 150);
    EXPECT_EQ(rightEdge("Button2"), build + 150);
    Main()->resize(opened);

    QWidget* table = AppForms().frmTable;
    const QSize tableOpened = table->size();
    table->show();
    table->resize(100, 100);
    Settle(table);
    for (const char* name : {"btnRefer", "btnLoad", "btnClose", "btnSave"}) {
        auto* button = Control<QPushButton>(table, name);
        EXPECT_TRUE(table->rect().contains({button->mapTo(table, QPoint()), button->size()}))
            << name;
    }
    table->hide();
    table->resize(tableOpened);
}

} // namespace
} // namespace qvn::test
