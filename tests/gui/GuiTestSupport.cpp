#include "GuiTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>

namespace qvn::test {

void WhenModal(std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action = std::move(action), timeoutMs] {
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

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvn-gui-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::Path(const std::string& name) const { return dir_ + "/" + name; }

void TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
}

std::string TempDir::Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::Exists(const std::string& name) const {
    return std::filesystem::exists(Path(name));
}

} // namespace qvn::test
