#include "FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace qvn::ui {
namespace {

std::optional<QString> nextAnswer;

} // namespace

void FileDialog::SetNextFileName(const QString& path) {
    nextAnswer = path;
}

std::optional<QString> FileDialog::Execute(QWidget* parent) {
    QString chosen;
    if (nextAnswer) {
        chosen = *nextAnswer;
        nextAnswer.reset();
        if (chosen.isEmpty())
            return std::nullopt;
        chosen = QFileInfo(chosen).absoluteFilePath();
    } else {
        QFileDialog dialog(parent);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilter(options_.filter);
        dialog.setDirectory(QDir::currentPath());
        if (options_.save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(options_.mustExist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
        }
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!lastName_.isEmpty())
            dialog.selectFile(lastName_);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        chosen = dialog.selectedFiles().constFirst();
    }
    lastName_ = QFileInfo(chosen).fileName();
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return chosen;
}

} // namespace qvn::ui
