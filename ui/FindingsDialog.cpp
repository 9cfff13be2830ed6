#include "FindingsDialog.h"

#include "Fonts.h"

#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvn::ui {
namespace {

QString Line(const QString& file, long long line, std::size_t column, Severity severity,
             const std::string& text) {
    QString place = file + QLatin1Char(':');
    if (line > 0) {
        place += QString::number(line) + QLatin1Char(':');
        if (column > 0)
            place += QString::number(column) + QLatin1Char(':');
    }
    return place + QLatin1Char(' ') + QString::fromStdString(std::string(Label(severity))) +
           QStringLiteral(": ") + QString::fromStdString(text);
}

} // namespace

QStringList FindingLines(const Finding& finding) {
    const QString file = QFileInfo(QString::fromStdString(finding.file)).fileName();
    QStringList lines{Line(file, finding.line, finding.column, finding.severity, finding.text)};
    for (const Note& note : finding.notes)
        lines << Line(file, note.line, note.column, Severity::Note, note.text);
    return lines;
}

bool ConfirmFindings(QWidget* parent, const Findings& findings) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("findingsDialog"));
    dialog.setWindowTitle(QStringLiteral("出力前の確認"));
    SetFormFont(&dialog);

    auto* intro =
        new QLabel(QStringLiteral("入力ファイルを確かめたところ、次の点が見つかりました。") +
                       QString::fromStdString(Summary(findings.counts)) +
                       QStringLiteral("このまま出力しますか?"),
                   &dialog);
    intro->setWordWrap(true);

    // Read-only text: it scrolls, and a line can be selected and copied. A finding's advice comes
    // after its place and often runs past any width: it wraps at the list's width, never needing
    // a horizontal scroll bar, and rewraps as the dialog is resized.
    auto* list = new QPlainTextEdit(&dialog);
    list->setObjectName(QStringLiteral("findings"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList lines;
    for (const Finding& finding : findings.list)
        lines << FindingLines(finding);
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
