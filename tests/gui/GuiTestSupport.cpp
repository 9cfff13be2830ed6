#include "GuiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace qvn::test {

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

} // namespace qvn::test
