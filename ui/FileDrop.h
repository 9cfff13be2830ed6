// Files dropped from the file manager anywhere on a window, its controls included: the first
// file's full path goes into the window's path edit; other files are ignored.
#pragma once

#include <QObject>

class QLineEdit;
class QWidget;

namespace qvn::ui {

class FileDropTarget : public QObject {
public:
    // Makes window a drop target for files. The edit itself stops taking drops, so a drop that
    // also carries text cannot insert it.
    FileDropTarget(QWidget* window, QLineEdit* pathEdit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* pathEdit_;
};

} // namespace qvn::ui
