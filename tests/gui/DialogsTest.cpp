// The settings dialog, the About box and the findings before a build: what OK, Cancel, Esc and
// the close box do to the tokens and to the built page, typed tokens in the template's encoding,
// keyboard focus, the About picture decoded by libjpeg, including corrupt data, and the findings
// wrapped in a list that grows with its dialog.
#include "Errors.h"
#include "FindingsDialog.h"
#include "GuiTestSupport.h"
#include "JpegImage.h"
#include "PageBuild.h"
#include "UDec.h"
#include "UMain1.h"
#include "USetting.h"
#include "UVersion.h"

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace qvn::test {
namespace {

QDialog* SettingDialog() {
    return AppForms().frmSetting;
}
QDialog* AboutBox() {
    return AppForms().frmVer;
}
QLineEdit* Edit(const char* name) {
    return Control<QLineEdit>(SettingDialog(), name);
}

struct TokenTexts {
    std::string Title, URL, Author, Explain;
};
TokenTexts CurrentTokens() {
    return {AppSetting().Title, AppSetting().URL, AppSetting().Author, AppSetting().Explain};
}
void ExpectTokens(const TokenTexts& t) {
    EXPECT_EQ(AppSetting().Title, t.Title);
    EXPECT_EQ(AppSetting().URL, t.URL);
    EXPECT_EQ(AppSetting().Author, t.Author);
    EXPECT_EQ(AppSetting().Explain, t.Explain);
}

void TypeTokens(const QString& title, const QString& url, const QString& author,
                const QString& explain) {
    Edit("ledTitle")->setText(title);
    Edit("ledURL")->setText(url);
    Edit("ledBURL")->setText(author);
    Edit("ledExplain")->setText(explain);
}

// Shows the settings dialog with exec(), as the main window does, and lets answer close it.
int RunSettings(std::function<void(QWidget*)> answer) {
    WhenModal(std::move(answer));
    return SettingDialog()->exec();
}

void Click(QWidget* dialog, const char* button) {
    QTest::mouseClick(Control<QPushButton>(dialog, button), Qt::LeftButton);
}

int RunAbout(std::function<void(QWidget*)> answer) {
    WhenModal(std::move(answer));
    return AboutBox()->exec();
}

// Builds a page from a template and link list written to a temporary folder, with the tokens
// in the record, as the main window's build takes them.
std::string BuildPage(const std::string& templateText, const std::vector<std::string>& fields) {
    TempDir dir;
    dir.Write("t.html", templateText);
    AppSetting().TemplatePath = dir.Path("t.html");
    std::string lines;
    for (std::size_t i = 0; i < fields.size(); ++i)
        lines += fields[i] + (i % 4 == 3 ? "\r\n" : ",");
    AppSetting().LinkList = std::make_shared<TLinkTable>(TLinkTable::Parse(lines));
    std::ostringstream out;
    PageBuild(AppSetting().Links(), FilePath(), FilePath::FromNative(AppSetting().TemplatePath),
              AppSetting().GetTokens())
        .Write(out);
    return out.str();
}

const std::vector<std::string> kTwoSites = {"s1", "u1", "a1", "d1", "s2", "u2", "a2", "d2"};

// ---- settings dialog ------------------------------------------------------------------------

// The edits start at the tokens the main window put in force.
TEST(SettingsDialog, StartsWithTheDefaultTokensAndOkKeepsThem) {
    StartAfresh();
    EXPECT_EQ(Edit("ledTitle")->text(), "_TITLE_");
    EXPECT_EQ(Edit("ledURL")->text(), "_URL_");
    EXPECT_EQ(Edit("ledBURL")->text(), "_AUTHOR_");
    EXPECT_EQ(Edit("ledExplain")->text(), "_EXPLAIN_");
    ExpectTokens({"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"});

    QWidget* focused = nullptr;
    const int result = RunSettings([&](QWidget* modal) {
        focused = modal->focusWidget();
        Click(modal, "btnOK");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(focused, Edit("ledTitle")) << "the first token has the focus first";
    ExpectTokens({"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"});
    EXPECT_EQ(
        BuildPage(
            "_HEAD_\r\nh\r\n_FRAME_\r\n[_TITLE_](_URL_) _AUTHOR_: _EXPLAIN_\r\n_FOOT_\r\nf\r\n",
            kTwoSites),
        "h\r\n[s1](u1) a1: d1\r\n[s2](u2) a2: d2\r\nf\r\n");
}

TEST(SettingsDialog, ConfirmedTokensReachTheBuiltPage) {
    TypeTokens("%name%", "%url%", "%who%", "%what%");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    ExpectTokens({"%name%", "%url%", "%who%", "%what%"});
    EXPECT_EQ(
        BuildPage("_HEAD_\nh\n_FRAME_\n%name% %url% %who% %what% _TITLE_\n_FOOT_\nf\n", kTwoSites),
        "h\r\ns1 u1 a1 d1 _TITLE_\r\ns2 u2 a2 d2 _TITLE_\r\nf\r\n");

    // An emptied title token never matches: no site names, the other three still work.
    TypeTokens("", "_URL_", "_AUTHOR_", "_EXPLAIN_");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    EXPECT_EQ(AppSetting().Title, "");
    EXPECT_EQ(BuildPage("_HEAD_\nh\n_FRAME_\n[](_URL_) _AUTHOR_ _EXPLAIN_\n_FOOT_\nf\n", kTwoSites),
              "h\r\n[](u1) a1 d1\r\n[](u2) a2 d2\r\nf\r\n");
}

TEST(SettingsDialog, EqualTokensReplaceInTheirOrder) {
    TypeTokens("@", "@", "_AUTHOR_", "@");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    // Title takes the first "@", URL the next one left, Explain the third; the fourth stays.
    EXPECT_EQ(BuildPage("_HEAD_\nh\n_FRAME_\n@ @ _AUTHOR_ @ @\n_FOOT_\nf\n", {"s", "u", "a", "d"}),
              "h\r\ns u a d @\r\nf\r\n");
}

TEST(SettingsDialog, TextsAreStoredUntrimmed) {
    TypeTokens(" T ", "U\t", "  ", "E");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    ExpectTokens({" T ", "U\t", "  ", "E"});
}

TEST(SettingsDialog, CancelEscAndCloseBoxChangeNothingButEditsKeepTheirText) {
    TypeTokens("_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    const TokenTexts before = CurrentTokens();

    TypeTokens("t1", "u1", "a1", "e1");
    EXPECT_EQ(RunSettings([](QWidget* modal) { Click(modal, "btnCancel"); }), QDialog::Rejected);
    ExpectTokens(before);

    EXPECT_EQ(RunSettings([](QWidget* modal) {
                  QTest::keyClick(Control<QLineEdit>(modal, "ledURL"), Qt::Key_Escape);
              }),
              QDialog::Rejected);
    ExpectTokens(before);

    EXPECT_EQ(RunSettings([](QWidget* modal) { modal->close(); }), QDialog::Rejected);
    ExpectTokens(before);

    // The next showing still holds what was typed, and its OK stores it.
    EXPECT_EQ(Edit("ledTitle")->text(), "t1");
    EXPECT_EQ(Edit("ledExplain")->text(), "e1");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    ExpectTokens({"t1", "u1", "a1", "e1"});
}

TEST(SettingsDialog, EnterInAnEditConfirms) {
    TypeTokens("x", "y", "z", "w");
    const int result = RunSettings([](QWidget* modal) {
        QLineEdit* edit = Control<QLineEdit>(modal, "ledBURL");
        edit->setFocus();
        QTest::keyClicks(edit, "!");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    ExpectTokens({"x", "y", "z!", "w"});
}

// Enter on a focused button presses that button, not the default OK.
TEST(SettingsDialog, EnterOnAFocusedButtonPressesIt) {
    TypeTokens("_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    TypeTokens("t2", "u2", "a2", "e2");
    auto enterOn = [](const char* button, Qt::Key key) {
        return [button, key](QWidget* modal) {
            PressFocused(Control<QPushButton>(modal, button), key);
        };
    };
    EXPECT_EQ(RunSettings(enterOn("btnCancel", Qt::Key_Return)), QDialog::Rejected);
    ExpectTokens({"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"});
    EXPECT_EQ(RunSettings(enterOn("btnOK", Qt::Key_Enter)), QDialog::Accepted);
    ExpectTokens({"t2", "u2", "a2", "e2"});
}

// Typed tokens are kept as typed and take the template's encoding at the build: the same
// Japanese token matches a code page 932 template and a UTF-8 one.
TEST(SettingsDialog, JapaneseTokensMatchTemplatesInEitherEncoding) {
#ifdef _WIN32
    // Windows' Japanese input types "～" as U+FF5E, the character its code page 932 table gives
    // the bytes 0x81 0x60 (it has none for the wave dash U+301C).
    const std::string explainUtf8 = "説明～";
#else
    // Typed on Linux as the wave dash U+301C, which glibc's table takes to 0x81 0x60 too.
    const std::string explainUtf8 = "説明〜";
#endif
    TypeTokens(QStringLiteral("＠名前"), QStringLiteral("_URL_"), QStringLiteral("_AUTHOR_"),
               QString::fromStdString(explainUtf8));
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    EXPECT_EQ(AppSetting().Title, "＠名前");
    const std::string name = "\x81\x97\x96\xBC\x91\x4F";    // ＠名前
    const std::string explain = "\x90\xE0\x96\xBE\x81\x60"; // 説明～ (0x81 0x60)
    EXPECT_EQ(BuildPage("_HEAD_\nh\n_FRAME_\n<" + name + "> " + explain + "\n_FOOT_\nf\n",
                        {"s", "u", "a", "d"}),
              "h\r\n<s> d\r\nf\r\n");
    EXPECT_EQ(BuildPage("_HEAD_\nh\n_FRAME_\n<＠名前> " + explainUtf8 + "\n_FOOT_\nf\n",
                        {"s", "u", "a", "d"}),
              "h\r\n<s> d\r\nf\r\n");
}

// A token code page 932 cannot hold is kept; a UTF-8 template takes it, and a build from a code
// page 932 template fails naming it, rather than matching "?".
TEST(SettingsDialog, TokenOutsideCodePage932FailsOnlyWithACodePage932Template) {
    TypeTokens("t", "u", QStringLiteral("a\U0001F600"), "e");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    EXPECT_EQ(AppSetting().Author, "a\U0001F600");
    EXPECT_EQ(BuildPage("_HEAD_\n\xE3\x81\x82\n_FRAME_\n<a\U0001F600>\n_FOOT_\nf\n",
                        {"s", "u", "x", "d"}),
              "\xE3\x81\x82\r\n<x>\r\nf\r\n");
    try {
        BuildPage("_HEAD_\n\x82\xA0\n_FRAME_\n<a?>\n_FOOT_\nf\n", {"s", "u", "x", "d"});
        ADD_FAILURE() << "a token code page 932 lacks must fail the build";
    } catch (const Error& e) {
        EXPECT_EQ(ErrorBoxText(e),
                  "「管理者」の置換文字列 a\U0001F600 には、テンプレートの文字コード "
                  "Shift_JIS (CP932) で表せない文字があります.");
    }
    TypeTokens("_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_");
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
}

// ---- the findings before a build -----------------------------------------------------------

// A finding's advice is read whole at any width of the dialog: its lines wrap rather than scroll
// sideways, and the list takes what the dialog grows by.
TEST(FindingsDialog, WrapsItsLinesAndGrowsWithTheDialog) {
    Findings findings;
    findings.list.push_back({"links.csv", 2, 0, Severity::Warning, "fields", {}, {}});
    for (int i = 0; i < 12; ++i)
        findings.list[0].text += "カンマが 2 つしかありません。";

    bool scrollsSideways = true, wraps = false, grew = false;
    WhenModal([&](QWidget* modal) {
        auto* list = Control<QPlainTextEdit>(modal, "findings");
        Settle(modal);
        scrollsSideways = list->horizontalScrollBar()->maximum() > 0;
        wraps = list->document()->lineCount() > 1; // one finding, on more than one line
        const QSize before = list->size();
        modal->resize(modal->size() + QSize(200, 150));
        Settle(modal);
        grew = list->width() >= before.width() + 200 && list->height() >= before.height() + 150;
        static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(ui::ConfirmFindings(AppForms().frmMain, findings));
    EXPECT_FALSE(scrollsSideways);
    EXPECT_TRUE(wraps);
    EXPECT_TRUE(grew);
}

// ---- About box ------------------------------------------------------------------------------

QByteArray PictureBytes() {
    QFile file(QStringLiteral(":/qvn/VER.jpg"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "the picture is built into the program";
    return file.readAll();
}

TEST(AboutPicture, IsABaselineJfifColourPictureOf130By260) {
    const QByteArray bytes = PictureBytes();
    EXPECT_TRUE(bytes.startsWith(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11)));
    EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xC0", 2))) << "baseline frame";
    EXPECT_FALSE(bytes.contains(QByteArray("\xFF\xC2", 2))) << "no progressive frame";

    const QImage picture = ui::DecodeJpeg(bytes);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(130, 260));
    EXPECT_FALSE(picture.allGray());
}

TEST(AboutPicture, PixelsOfTheBottomLeftColourAreTransparent) {
    const QImage picture = ui::LoadJpeg(QStringLiteral(":/qvn/VER.jpg"));
    ASSERT_FALSE(picture.isNull());
    auto* imgVer = Control<QLabel>(AboutBox(), "imgVer");
    const QImage shown = imgVer->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.size(), QSize(130, 260));

    const QRgb key = picture.pixel(0, 259);
    int transparent = 0;
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 130; ++x) {
            const QRgb p = picture.pixel(x, y);
            const QRgb s = shown.pixel(x, y);
            if (p == key) {
                ASSERT_EQ(qAlpha(s), 0) << x << "," << y;
                ++transparent;
            } else {
                ASSERT_EQ(s, p | 0xFF000000u) << x << "," << y;
            }
        }
    EXPECT_GT(transparent, 0);
    // The picture's flat bottom strip decodes to the one key colour, and no pixel of the scene
    // above it shares that colour: no holes in the scene, no fringe left in the strip.
    EXPECT_EQ(transparent, 130 * 20);
}

TEST(AboutPicture, CorruptDataGivesANullImageAndNoExit) {
    const QByteArray good = PictureBytes();
    EXPECT_TRUE(ui::DecodeJpeg({}).isNull());
    EXPECT_TRUE(ui::DecodeJpeg("not a picture at all").isNull());
    EXPECT_TRUE(ui::DecodeJpeg(good.left(2)).isNull()) << "start marker only";
    EXPECT_TRUE(ui::DecodeJpeg(good.left(good.size() / 2)).isNull())
        << "cut in the middle of the scan";
    QByteArray scrambled = good;
    for (qsizetype i = 0x30; i < 0x80; ++i)
        scrambled[i] = static_cast<char>(0xA5); // the quantisation and Huffman tables
    EXPECT_TRUE(ui::DecodeJpeg(scrambled).isNull());
    QByteArray zeroSize = good;
    const qsizetype sof = zeroSize.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    zeroSize[sof + 5] = 0; // height 0
    zeroSize[sof + 6] = 0;
    EXPECT_TRUE(ui::DecodeJpeg(zeroSize).isNull());
    EXPECT_TRUE(ui::LoadJpeg(QStringLiteral(":/qvn/missing.jpg")).isNull());
    // The process is still here, and the good picture still decodes after the failures.
    EXPECT_FALSE(ui::DecodeJpeg(good).isNull());
}

TEST(AboutBox, ShowsWithoutItsPictureWhenThereIsNone) {
    auto* box = AppForms().frmVer;
    box->DrawPicture(QImage());
    EXPECT_TRUE(Control<QLabel>(box, "imgVer")->pixmap().isNull());
    EXPECT_EQ(RunAbout([](QWidget* modal) { Click(modal, "BitBtn1"); }), QDialog::Accepted);
    box->DrawPicture(ui::LoadJpeg(QStringLiteral(":/qvn/VER.jpg")));
    EXPECT_FALSE(Control<QLabel>(box, "imgVer")->pixmap().isNull());
}

// OK has the focus at every showing, also after the memo had it the last time: Enter, Esc and
// Space close the box at once.
TEST(AboutBox, OkHasTheFocusAndEnterEscAndSpaceCloseIt) {
    RunAbout([](QWidget* modal) {
        Control<QWidget>(modal, "Memo1")->setFocus();
        Click(modal, "BitBtn1");
    });
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
        QWidget* focused = nullptr;
        bool closedByKey = false;
        const int result = RunAbout([&](QWidget* modal) {
            focused = modal->focusWidget();
            QTest::keyClick(focused, key);
            closedByKey = !modal->isVisible();
            if (!closedByKey)
                static_cast<QDialog*>(modal)->done(-1);
        });
        EXPECT_EQ(focused, Control<QWidget>(AboutBox(), "BitBtn1")) << key;
        EXPECT_TRUE(closedByKey) << key;
        EXPECT_EQ(result, key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted) << key;
    }
}

TEST(AboutBox, MemoHoldsTheVersionAndTheMakersLinesUnderExampleDomains) {
    auto* memo = Control<QPlainTextEdit>(AboutBox(), "Memo1");
    EXPECT_TRUE(memo->isReadOnly());
    const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("Version " QVN_VERSION));
    EXPECT_EQ(lines[3], QString());
    EXPECT_EQ(lines[4], QStringLiteral("配布元："));
    // Web addresses only under domains reserved for examples, never a real third party's.
    const QRegularExpression address(QStringLiteral("^https?://([^/]+)/"));
    const QRegularExpression reserved(QStringLiteral("(^|\\.)example\\.(com|org|net)$"));
    int addresses = 0;
    for (const QString& line : lines) {
        const auto m = address.match(line);
        if (!m.hasMatch())
            continue;
        ++addresses;
        EXPECT_TRUE(reserved.match(m.captured(1)).hasMatch()) << line.toStdString();
    }
    EXPECT_EQ(addresses, 2);
}

} // namespace
} // namespace qvn::test
