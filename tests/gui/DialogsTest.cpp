// The settings dialog, the About box and the findings before a build: what OK, Cancel, Esc and
// the close box do to the tokens, keyboard focus, the About picture decoded by libjpeg, including
// corrupt data, and the findings wrapped in a list that grows with its dialog.
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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
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

// ---- settings dialog ------------------------------------------------------------------------

// The first token has the focus at the first showing.
TEST(SettingsDialog, FirstTokenHasTheFocus) {
    StartAfresh();
    QWidget* focused = nullptr;
    RunSettings([&](QWidget* modal) {
        focused = modal->focusWidget();
        Click(modal, "btnOK");
    });
    EXPECT_EQ(focused, Edit("ledTitle"));
}

// OK, and Enter in an edit or on OK, store the texts; Cancel, Enter on Cancel, Esc and the close
// box change nothing, but the edits keep what was typed for the next showing.
TEST(SettingsDialog, EachWayOfClosingStoresOrKeeps) {
    const struct {
        const char* what;
        std::function<void(QWidget*)> answer;
        int result;
    } cases[] = {
        {"OK", [](QWidget* m) { Click(m, "btnOK"); }, QDialog::Accepted},
        {"Enter in an edit",
         [](QWidget* m) { PressFocused(Control<QLineEdit>(m, "ledBURL"), Qt::Key_Return); },
         QDialog::Accepted},
        {"Enter on OK",
         [](QWidget* m) { PressFocused(Control<QPushButton>(m, "btnOK"), Qt::Key_Enter); },
         QDialog::Accepted},
        {"Cancel", [](QWidget* m) { Click(m, "btnCancel"); }, QDialog::Rejected},
        {"Enter on Cancel",
         [](QWidget* m) { PressFocused(Control<QPushButton>(m, "btnCancel"), Qt::Key_Return); },
         QDialog::Rejected},
        {"Esc",
         [](QWidget* m) { QTest::keyClick(Control<QLineEdit>(m, "ledURL"), Qt::Key_Escape); },
         QDialog::Rejected},
        {"close box", [](QWidget* m) { m->close(); }, QDialog::Rejected},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TokenTexts before = CurrentTokens();
        const std::string i = std::to_string(++n);
        TypeTokens(QString::fromStdString("t" + i), QString::fromStdString("u" + i),
                   QString::fromStdString("a" + i), QString::fromStdString("e" + i));
        EXPECT_EQ(RunSettings(c.answer), c.result);
        if (c.result == QDialog::Accepted)
            ExpectTokens({"t" + i, "u" + i, "a" + i, "e" + i});
        else
            ExpectTokens(before);
        EXPECT_EQ(Edit("ledExplain")->text(), QString::fromStdString("e" + i));
    }
}

// The texts are stored as typed, untrimmed, in UTF-8 whatever code page 932 holds, and the build
// takes them from there. (How a build matches them in either encoding, and fails on a token the
// template's encoding cannot hold, is the core's: PageTest's TokenText and the CLI's tests.)
TEST(SettingsDialog, TextsAreStoredAsTypedAndReachThePage) {
    TypeTokens(QStringLiteral(" ＠名前 "), QStringLiteral("U\t"), QStringLiteral("a\U0001F600"),
               QStringLiteral("説明〜"));
    RunSettings([](QWidget* modal) { Click(modal, "btnOK"); });
    ExpectTokens({" ＠名前 ", "U\t", "a\U0001F600", "説明〜"});
    EXPECT_EQ(BuildPage("_HEAD_\nh\n_FRAME_\n[ ＠名前 ](U\t) a\U0001F600 説明〜\n_FOOT_\nf\n",
                        {"s", "u", "x", "d"}),
              "h\r\n[s](u) x d\r\nf\r\n");
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

} // namespace
} // namespace qvn::test
