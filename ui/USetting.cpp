#include "USetting.h"

#include "Errors.h"
#include "Fonts.h"
#include "Guard.h"
#include "Text.h"
#include "UDec.h"
#include "ui_USetting.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStyle>
#include <string>
#include <string_view>
#include <utility>

using namespace qvn;
using namespace qvn::ui;

namespace {

// A labeled edit's label stands at the edit's left edge with its bottom 3 pixels above the
// edit's top, whatever height the label's font gives it.
void PlaceLabelAbove(QLabel* label, const QLineEdit* edit) {
    const int height = label->fontMetrics().height();
    label->setGeometry(edit->x(), edit->y() - height - 3, label->width(), height);
}

// The edit's text as code page 932 bytes. A character the code page lacks would turn into "?",
// and a token "?" would replace the first question mark of every frame line (a URL's query, for
// one), so such a text is refused, naming the edit by its label; the edit gets the focus.
std::string TokenBytes(QLineEdit* edit, const QLabel* label) {
    if (auto bytes = ToCp932Exact(edit->text()))
        return *std::move(bytes);
    edit->setFocus();
    edit->selectAll();
    throw Error(ToCp932(
        QStringLiteral("「%1」にコードページ 932 で表せない文字があります").arg(label->text())));
}

// The dividing line starts below the group box's title: styles that draw the title above the
// frame (rather than across its top line) start the frame lower than the form assumes.
void KeepBelowTitle(QFrame* line, const QGroupBox* box) {
    const int top = box->contentsRect().top() + 2;
    if (line->y() < top)
        line->setGeometry(line->x(), top, line->width(), line->y() + line->height() - top);
}

} // namespace

TfrmSetting::TfrmSetting(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmSetting>()) {
    ui->setupUi(this);

    SetFormFont(this);

    // A fixed dialog: a title bar with the close box only, no resizing, and no picture of its own
    // in the title bar (an empty icon, so the application's icon is not shown either).
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    move(61, 132);
    setFixedSize(306, 174);

    KeepBelowTitle(ui->Bevel1, ui->gbExStr);
    PlaceLabelAbove(ui->ledTitleLabel, ui->ledTitle);
    PlaceLabelAbove(ui->ledURLLabel, ui->ledURL);
    PlaceLabelAbove(ui->ledBURLLabel, ui->ledBURL);
    PlaceLabelAbove(ui->ledExplainLabel, ui->ledExplain);

    ui->btnOK->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ui->btnCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ui->btnOK->setFocus();

    // OK first marks the result, then stores the tokens; the dialog closes only when that
    // succeeded. Cancel, Esc and the close box reject and leave Setting alone.
    ConnectGuarded(ui->btnOK, &QPushButton::clicked, this, &TfrmSetting::btnOKClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmSetting::~TfrmSetting() = default;

// The texts are stored as typed: no trimming, and an empty or repeated token is allowed (an
// empty one simply never matches in the page builder). All four are converted before any is
// stored, so a refused text leaves every token as it was and the dialog open.
void TfrmSetting::btnOKClick() {
    setResult(QDialog::Accepted);
    std::string title = TokenBytes(ui->ledTitle, ui->ledTitleLabel);
    std::string url = TokenBytes(ui->ledURL, ui->ledURLLabel);
    std::string author = TokenBytes(ui->ledBURL, ui->ledBURLLabel);
    std::string explain = TokenBytes(ui->ledExplain, ui->ledExplainLabel);
    Setting.Title = std::move(title);
    Setting.URL = std::move(url);
    Setting.Author = std::move(author);
    Setting.Explain = std::move(explain);
    accept();
}
