#include "UHelp.h"

#include "ui_UHelp.h"

#include <QFile>
#include <QUrl>

TfrmHelp::TfrmHelp(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TfrmHelp>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
}

TfrmHelp::~TfrmHelp() = default;

bool TfrmHelp::ShowPage(const QString& path) {
    // The browser reads the file itself and, when it cannot, only warns on the console and shows
    // an empty page: so the file is tried here first.
    if (!QFile(path).open(QIODevice::ReadOnly))
        return false;
    if (path != shownPath_) {
        ui->tbHelp->clearHistory();
        ui->tbHelp->setSource(QUrl::fromLocalFile(path));
        shownPath_ = path;
    }
    // A minimised window comes back as it was, then goes in front of the others.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    return true;
}
