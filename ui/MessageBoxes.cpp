#include "MessageBoxes.h"

#include "AppInfo.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>

namespace qvn::ui {
namespace {

// Qt places a box by its provisional size before the layout settles; this puts it in the middle
// of the screen once it is shown at its real size.
class CentreOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* box = static_cast<QWidget*>(watched);
            QScreen* screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
            if (screen) {
                QRect frame = box->frameGeometry();
                frame.moveCenter(screen->availableGeometry().center());
                box->move(frame.topLeft());
            }
        }
        return false;
    }
};

// Qt makes a box wide enough for its caption with room for a close button only. A window manager
// draws the caption in a face of its own, often bold, between an icon and up to three buttons, and
// cuts the caption of a box as narrow as a short message ("Qu... VN]"): the box is made wide enough
// for the caption in bold beside four such buttons, each about twice as wide as a line is high.
void KeepCaptionWhole(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return; // another layout of Qt's box: it keeps its own width
    QFont face = QApplication::font("QMdiSubWindowTitleBar");
    face.setBold(true);
    const QFontMetrics metrics(face);
    const int wanted = metrics.horizontalAdvance(box.windowTitle()) + 4 * 2 * metrics.height();
    grid->addItem(new QSpacerItem(wanted, 0), grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

void ShowErrorBox(QWidget* parent, const QString& text, const QString& explanation) {
    QMessageBox box(QMessageBox::Critical, AppTitle(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("errorBox"));
    // Plain text, whatever it holds: a file name or a template line may look like markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(explanation);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);
        // The explanation's lines name a file and a line before their words: a box as narrow as
        // the message would break every one of them.
        if (!explanation.isEmpty())
            label->setMinimumWidth(480);
    }
    KeepCaptionWhole(box);
    box.exec();
}

void ShowPlainMessage(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), message, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("plainMessage"));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok); // Enter
    box.setEscapeButton(ok);  // Esc
    KeepCaptionWhole(box);
    CentreOnShow centre;
    box.installEventFilter(&centre);
    box.exec();
}

bool ConfirmReplace(QWidget* parent, const QString& fileName) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("名前を付けて保存の確認"),
                    fileName + QStringLiteral(" は既に存在します。置き換えますか?"),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("replaceQuestion"));
    box.setTextFormat(Qt::PlainText); // a file name may look like markup
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace qvn::ui
