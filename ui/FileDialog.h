// Open and save dialogs, always Qt's own (the same behaviour on every desktop), with a test hook
// that answers the next dialog without showing it.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace qvn::ui {

struct FileDialogOptions {
    QString filter;         // e.g. "HTML 形式 (*.html *.htm)"
    bool mustExist = false; // the chosen file must exist (open dialogs)
    bool save = false;      // a save dialog: asks before replacing a file, adds no extension
};

// One dialog with the memory of its last confirmed name: it opens with that name in its file-name
// box and no folder of its own, so it starts in the current directory; a confirmed choice makes
// the chosen file's folder the current directory. A save dialog asks before it picks a file that
// exists (ConfirmReplace); a refused name leaves the file-name box empty and is not offered at the
// next opening either.
class FileDialog {
public:
    explicit FileDialog(FileDialogOptions options) : options_(std::move(options)) {}

    // The full path chosen, with the system's own separators, or nullopt when the user cancels.
    std::optional<QString> Execute(QWidget* parent);

    // Test hook: the next Execute of any dialog returns this (an empty string means "cancel")
    // without showing a dialog or asking anything, and still updates the last name and the
    // current directory.
    static void SetNextFileName(const QString& path);

private:
    FileDialogOptions options_;
    QString lastName_;
};

} // namespace qvn::ui
