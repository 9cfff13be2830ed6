#include "FindingsDialog.h"

#include "Fonts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvn::ui {

bool ConfirmFindings(QWidget* parent, const QStringList& lines, long long errors,
                     long long warnings) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("findingsDialog"));
    dialog.setWindowTitle(QStringLiteral("出力前の確認"));
    SetFormFont(&dialog);

    auto* intro = new QLabel(
        QStringLiteral(
            "入力ファイルを確かめたところ、次の点が見つかりました (エラー %1 件, 警告 %2 "
            "件)。このまま出力しますか?")
            .arg(errors)
            .arg(warnings),
        &dialog);
    intro->setWordWrap(true);

    // Read-only text: it scrolls, and a line can be selected and copied.
    auto* list = new QPlainTextEdit(&dialog);
    list->setObjectName(QStringLiteral("findings"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setPlainText(lines.join(QLatin1Char('\n')));
    list->setAccessibleName(QStringLiteral("見つかった点"));

    auto* build = new QPushButton(QStringLiteral("出力する"), &dialog);
    build->setObjectName(QStringLiteral("btnBuild"));
    auto* stop = new QPushButton(QStringLiteral("やめる"), &dialog);
    stop->setObjectName(QStringLiteral("btnStop"));
    build->setAutoDefault(false);
    stop->setDefault(true);
    QObject::connect(build, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(stop, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(build);
    buttons->addWidget(stop);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(intro);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);

    dialog.resize(600, 280);
    stop->setFocus();
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qvn::ui
