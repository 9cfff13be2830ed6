#include "Modality.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace qvn::ui {
namespace {

// The show event reaches a widget before its window is shown to the system, which is when the
// window's modality takes effect; QDialog::exec sets application modality just before it.
class ModalToOwner : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->parentWidget() &&
                widget->windowModality() == Qt::ApplicationModal) {
                widget->setWindowModality(Qt::WindowModal);
                // The widget hands its modality to its system window only when it changes its
                // modal flag, which exec has already set: the window is told directly.
                if (QWindow* window = widget->windowHandle())
                    window->setModality(Qt::WindowModal);
            }
        }
        return false;
    }
};

} // namespace

void KeepModalsToTheirOwners(QApplication& app) {
    app.installEventFilter(new ModalToOwner(&app));
}

} // namespace qvn::ui
