#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace qvn::test {

QWidget* OwningWindow(const QObject* object) {
    for (const QObject* o = object->parent(); o; o = o->parent()) {
        if (const auto* w = qobject_cast<const QWidget*>(o))
            return w->window();
    }
    return nullptr;
}

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, clock, action = std::move(action), timeoutMs] {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (modal && modal->isVisible()) {
                             timer->stop();
                             action(modal);
                         } else if (clock->elapsed() > timeoutMs) {
                             timer->stop();
                             ADD_FAILURE() << "no modal window appeared";
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
