#include "FileDrop.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace qvn::ui {
namespace {

// The first dropped local file, or an empty string when the drop holds none. The path is shown
// with the system's own separators (backslashes on Windows), as the user knows it.
QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            return QDir::toNativeSeparators(url.toLocalFile()); // the whole path, however long
    }
    return {};
}

} // namespace

FileDropTarget::FileDropTarget(QWidget* window, QLineEdit* pathEdit)
    : QObject(window), pathEdit_(pathEdit) {
    // Only the window takes drops; a child that does not accept them passes them up to it.
    for (QWidget* child : window->findChildren<QWidget*>())
        child->setAcceptDrops(false);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!FirstLocalFile(drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = FirstLocalFile(drop->mimeData());
        if (!path.isEmpty()) {
            pathEdit_->setText(path);
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace qvn::ui
