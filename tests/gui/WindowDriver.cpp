// The window driver's code: finding controls, keys, text, drops and modal windows (WindowDriver.h).
#include "WindowDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QTest>

namespace qvn::test {

QWidget* OwningWindow(const QObject* object) {
    for (const QObject* o = object->parent(); o; o = o->parent()) {
        if (const auto* w = qobject_cast<const QWidget*>(o))
            return w->window();
    }
    return nullptr;
}

void PressFocused(QWidget* widget, Qt::Key key) {
    widget->setFocus();
    QTest::keyClick(widget, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

void SendKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

void CommitText(QWidget* target, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

Dropped Drop(QObject* target, QPoint at, const QMimeData& mime) {
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

void Settle(QWidget* widget) {
    QApplication::processEvents();
    widget->repaint();
    QApplication::processEvents();
}

void OnNextModal(std::function<void(QWidget*)> action, std::function<void()> onNone, int timeoutMs,
                 int intervalMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(intervalMs);
    QObject::connect(
        timer, &QTimer::timeout,
        [timer, clock, action = std::move(action), onNone = std::move(onNone), timeoutMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible()) {
                timer->stop();
                action(modal);
            } else if (clock->elapsed() > timeoutMs) {
                timer->stop();
                if (onNone)
                    onNone();
            } else {
                return;
            }
            timer->deleteLater();
            delete clock;
        });
    timer->start();
}

void WaitNoModal(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeModalWidget() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

ModalLog::ModalLog(Qt::Key answer, std::function<void(QFileDialog*)> onFileDialog)
    : answer_(answer), onFileDialog_(std::move(onFileDialog)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
}

void ModalLog::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (!seen_.empty() && seen_.back().widget.data() == modal) {
        seen_.back().closedByKey = false; // still open after the key: force it shut
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(0);
        return;
    }
    SeenModal s;
    s.widget = modal;
    s.className = QString::fromLatin1(modal->metaObject()->className());
    s.title = modal->windowTitle();
    s.frame = modal->frameGeometry();
    if (modal->screen())
        s.screen = modal->screen()->availableGeometry();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        s.text = box->text();
        s.informativeText = box->informativeText();
        s.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            s.buttons << b->text();
        s.closedByKey = true;
        seen_.push_back(s);
        QTest::keyClick(box, answer_);
    } else {
        seen_.push_back(s);
        auto* files = qobject_cast<QFileDialog*>(modal);
        if (files && onFileDialog_)
            onFileDialog_(files);
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

} // namespace qvn::test
