#include "ToolTips.h"

#include <QApplication>
#include <QEvent>
#include <QToolTip>
#include <QWidget>

namespace qvn::ui {
namespace {

class HideOnResize : public QObject {
public:
    using QObject::QObject;

protected:
    // Runs for every event of the application: a type check for all others first.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Resize && event->type() != QEvent::Move)
            return false;
        if (!watched->isWidgetType() || !QToolTip::isVisible())
            return false;
        const auto* widget = static_cast<QWidget*>(watched);
        // The tooltip is a window of its own, sized and placed as it is shown.
        if (widget->isWindow() && widget->windowType() != Qt::ToolTip)
            QToolTip::hideText();
        return false;
    }
};

} // namespace

void HideToolTipsOnResize(QApplication& app) {
    app.installEventFilter(new HideOnResize(&app));
}

} // namespace qvn::ui
