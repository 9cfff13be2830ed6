#include "UVersion.h"

#include "Fonts.h"
#include "JpegImage.h"
#include "ui_UVersion.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QShowEvent>
#include <QStyle>

namespace {

// The picture built into the program (resources/VER.jpg).
const QString kPictureResource = QStringLiteral(":/qvn/VER.jpg");

// The name labels use Impact, which Linux systems lack; a condensed sans in bold italic keeps
// their heavy look, and is narrowed further where the text would not fit its fixed-size label
// (Impact is narrower than any common substitute).
void UseImpactFace(QLabel* label, int pixels) {
    QFont face = qvn::ui::PixelFont(QStringLiteral("Impact"), pixels);
    face.setBold(true);
    face.setItalic(true);
    const int room = label->width() - pixels / 6; // the slant overhangs the last letter's advance
    int stretch = QFont::Condensed;
    for (; stretch > QFont::UltraCondensed; stretch -= 5) {
        face.setStretch(stretch);
        if (QFontMetrics(face).horizontalAdvance(label->text()) <= room)
            break;
    }
    face.setStretch(stretch);
    label->setFont(face);
}

} // namespace

TfrmVer::TfrmVer(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmVer>()) {
    ui->setupUi(this);
    // The memo's first line takes the version the build gives the program.
    ui->Memo1->setPlainText(ui->Memo1->toPlainText().arg(QStringLiteral(QVN_VERSION)));

    qvn::ui::SetFormFont(this);
    UseImpactFace(ui->Label1, 19);
    UseImpactFace(ui->Label2, 29);
    UseImpactFace(ui->Label3, 29);

    // A fixed dialog with the close box only.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    move(628, 119);
    setFixedSize(399, 272);

    // The memo reads as part of the window: the window's colour, no frame, no scroll bars.
    QPalette memoColours = ui->Memo1->palette();
    memoColours.setColor(QPalette::Base, palette().color(QPalette::Window));
    ui->Memo1->setPalette(memoColours);
    ui->Memo1->document()->setDocumentMargin(2);

    // OK has the focus and is the default button: Enter, Space and Esc close the box as soon as
    // it opens, as a click on OK does.
    ui->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ui->BitBtn1->setDefault(true);
    ui->BitBtn1->setFocus();
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

TfrmVer::~TfrmVer() = default;

void TfrmVer::FormCreate() {
    DrawPicture(qvn::ui::LoadJpeg(kPictureResource));
}

void TfrmVer::DrawPicture(const QImage& picture) {
    if (picture.isNull()) {
        ui->imgVer->clear(); // the box shows without its picture
        return;
    }
    // The canvas has the control's size; a smaller picture leaves white around it, as a fresh
    // bitmap would.
    QImage canvas(ui->imgVer->size(), QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, picture);
    painter.end();

    const QRgb key = canvas.pixel(0, canvas.height() - 1);
    for (int y = 0; y < canvas.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            if (line[x] == key)
                line[x] = 0; // fully transparent: the window background shows through
    }
    ui->imgVer->setPixmap(QPixmap::fromImage(canvas));
}

// Every showing starts on OK, also after the memo had the focus the last time.
void TfrmVer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui->BitBtn1->setFocus();
}
