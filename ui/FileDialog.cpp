#include "FileDialog.h"

#include "MessageBoxes.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace qvn::ui {
namespace {

std::optional<QString> nextAnswer;

// Qt sizes the detail view's columns for short English texts ("128.88 GB", "mp3Folder") and the
// places list for short names, so Japanese sizes, types, dates and places show cut off. Whenever
// the listing changes, the size, type and date columns widen to what they show (never narrow),
// the name column takes the rest of the view but no less than its own names, and the places list
// widens to its entries. Once the user sizes a column, the columns are the user's.
class FitColumns : public QObject {
public:
    explicit FitColumns(QFileDialog& dialog) : QObject(&dialog) {
        tree_ = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        places_ = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
        splitter_ = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
        auto* model = dialog.findChild<QFileSystemModel*>();
        if (!tree_ || !model)
            return; // another layout of Qt's dialog: it keeps its own sizes
        later_.setSingleShot(true);
        later_.setInterval(0);
        connect(&later_, &QTimer::timeout, this, &FitColumns::Fit);
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, &later_, qOverload<>(&QTimer::start));
        connect(model, &QAbstractItemModel::layoutChanged, &later_, qOverload<>(&QTimer::start));
        connect(model, &QAbstractItemModel::dataChanged, &later_, qOverload<>(&QTimer::start));
        connect(tree_->header(), &QHeaderView::sectionResized, this,
                [this] { userSized_ = userSized_ || !fitting_; });
        later_.start();
    }

private:
    void Fit() {
        if (userSized_ || !tree_->isVisible())
            return;
        fitting_ = true;
        QHeaderView* header = tree_->header();
        // QTreeView hides its measure; the item view's public one is the same virtual.
        const QAbstractItemView* view = tree_;
        int others = 0;
        for (int col = 1; col < header->count(); ++col) {
            if (header->isSectionHidden(col))
                continue;
            const int wanted = std::max(view->sizeHintForColumn(col), header->sectionSizeHint(col));
            if (header->sectionSize(col) < wanted)
                header->resizeSection(col, wanted);
            others += header->sectionSize(col);
        }
        const int rest = tree_->viewport()->width() - others;
        header->resizeSection(
            0, std::max({rest, view->sizeHintForColumn(0), header->sectionSizeHint(0)}));
        if (places_ && splitter_ && splitter_->count() == 2) {
            const int wanted = places_->sizeHintForColumn(0) + 2 * places_->frameWidth() +
                               places_->verticalScrollBar()->sizeHint().width();
            QList<int> sizes = splitter_->sizes();
            if (sizes[0] < wanted) {
                sizes[1] = std::max(0, sizes[1] - (wanted - sizes[0]));
                sizes[0] = wanted;
                splitter_->setSizes(sizes);
            }
        }
        fitting_ = false;
    }

    QTreeView* tree_ = nullptr;
    QListView* places_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QTimer later_;           // one fitting for a burst of changes, once the view has them
    bool fitting_ = false;   // the sizes being changed are this fitting's
    bool userSized_ = false; // the user has sized a column: the sizes are left alone
};

// Qt's dialog, asking before a save replaces a file that exists, as the save dialog of Windows
// does. Qt's own question would do, but it breaks its sentence in two and leaves the refused name
// in the file-name box.
class SaveAsDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    bool Refused() const { return refused_; }

    void accept() override {
        const QStringList files = selectedFiles();
        if (acceptMode() == AcceptSave && files.size() == 1) {
            const QFileInfo chosen(files.constFirst());
            if (chosen.exists() && !chosen.isDir() && !ConfirmReplace(this, chosen.fileName())) {
                refused_ = true;
                // The file stays selected in the list, which would put its name back.
                if (auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView")))
                    list->clearSelection(); // the detail view shares its selection
                if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->clear();
                return; // the dialog stays open for another name
            }
        }
        QFileDialog::accept();
    }

private:
    bool refused_ = false;
};

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
        SaveAsDialog dialog(parent);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilter(options_.filter);
        dialog.setDirectory(QDir::currentPath());
        if (options_.save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite); // SaveAsDialog asks instead
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(options_.mustExist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
        }
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!lastName_.isEmpty())
            dialog.selectFile(lastName_);
        new FitColumns(dialog); // owned by the dialog
        const bool confirmed = dialog.exec() == QDialog::Accepted;
        if (dialog.Refused())
            lastName_.clear(); // a name the user refused is not offered again
        if (!confirmed || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        chosen = dialog.selectedFiles().constFirst();
    }
    lastName_ = QFileInfo(chosen).fileName();
    QDir::setCurrent(QFileInfo(chosen).absolutePath());
    // Qt gives "/" on every system; the path goes into an edit and into messages, where a Windows
    // user reads and types backslashes.
    return QDir::toNativeSeparators(chosen);
}

} // namespace qvn::ui
