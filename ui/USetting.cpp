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
#include <QShowEvent>
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

// The edit's text as UTF-8. A build converts it to the template's encoding, and refuses it there
// when it holds a character that encoding lacks.
std::string TokenBytes(const QLineEdit* edit) {
    const QByteArray utf8 = edit->text().toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// The dividing line starts below the group box's title: styles that draw the title above the
// frame (rather than across its top line) start the frame lower than the form assumes.
void KeepBelowTitle(QFrame* line, const QGroupBox* box) {
    const int top = box->contentsRect().top() + 2;
    if (line->y() < top)
        line->setGeometry(line->x(), top, line->width(), line->y() + line->height() - top);
}

} // namespace

TfrmSetting::TfrmSetting(TSetting& setting, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmSetting>()), setting_(setting) {
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

    // OK first marks the result, then stores the tokens; the dialog closes only when that
    // succeeded. Cancel, Esc and the close box reject and leave the record alone.
    ConnectGuarded(ui->btnOK, &QPushButton::clicked, this, &TfrmSetting::btnOKClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmSetting::~TfrmSetting() = default;

// Every showing starts in the first token, whatever had the focus when the dialog last closed: the
// dialog is opened to type a token. OK stays the default button, so Enter in an edit confirms.
void TfrmSetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui->ledTitle->setFocus();
}

// The texts are stored as typed: no trimming, and an empty or repeated token is allowed (an
// empty one simply never matches in the page builder).
void TfrmSetting::btnOKClick() {
    setResult(QDialog::Accepted);
    setting_.Title = TokenBytes(ui->ledTitle);
    setting_.URL = TokenBytes(ui->ledURL);
    setting_.Author = TokenBytes(ui->ledBURL);
    setting_.Explain = TokenBytes(ui->ledExplain);
    accept();
}
