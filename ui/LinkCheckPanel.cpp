// The link list window's link check panel: the check's worker thread, its verdicts handed to the
// grid's model, and the findings list.
#include "LinkCheckPanel.h"

#include "Guard.h"
#include "LinkGridModel.h"
#include "Text.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace qvn::ui {
namespace {

using linkcheck::Verdict;

// The colour the grid and the findings show a verdict in.
QColor ColourOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Healthy:
        break;
    case Verdict::Moved:
    case Verdict::Suspect:
    case Verdict::Changed:
        return {0xff, 0xf0, 0xb0};
    case Verdict::Unverified:
        return {0xe0, 0xe6, 0xf0};
    case Verdict::Dead:
    case Verdict::Parked:
    case Verdict::Soft404:
        return {0xff, 0xc8, 0xc8};
    }
    return {0xd8, 0xf5, 0xd8};
}

// The rows of URLs whose verdict has not come yet: grey, away from every verdict's colour.
LinkGridModel::Verdict Waiting() {
    return {QColor(0xd0, 0xd0, 0xd0), QStringLiteral("確認を待っています"), false, {}};
}

// The rows of URLs a stopped check did not get to: no colour of their own.
LinkGridModel::Verdict Unchecked(const QColor& base) {
    return {base, QStringLiteral("確認していません (中止しました)"), false, {}};
}

// A URL's verdict as the grid and the findings show it: the severity's label, then the message
// with the URL put in as text of its own, in the link list's encoding.
LinkGridModel::Verdict VerdictFor(const std::string& url, bool utf8,
                                  const linkcheck::Outcome& outcome) {
    const bool healthy = outcome.verdict == Verdict::Healthy;
    QString text = QString::fromUtf8(linkcheck::Describe("\x01", outcome));
    text.replace(QChar(1), FileText(url, utf8));
    if (!healthy) {
        const std::string_view label = Label(linkcheck::SeverityOf(outcome.verdict));
        text = QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())) +
               QStringLiteral(": ") + text;
    }
    return {ColourOf(outcome.verdict), text, !healthy,
            linkcheck::Fixable(outcome) ? outcome.finalUrl : std::string()};
}

} // namespace

LinkCheckPanel::LinkCheckPanel(QTableView& grid, LinkGridModel& model, QWidget& window,
                               QWidget* parent)
    : QWidget(parent), grid_(grid), model_(model) {
    btnLinkCheck_ = new QPushButton(QStringLiteral("リンクチェック"), this);
    btnLinkCheck_->setObjectName(QStringLiteral("btnLinkCheck"));
    btnStop_ = new QPushButton(QStringLiteral("中止"), this);
    btnStop_->setObjectName(QStringLiteral("btnStop"));
    pbProgress_ = new QProgressBar(this);
    pbProgress_->setObjectName(QStringLiteral("pbLinkCheck"));
    lbStatus_ = new QLabel(this);
    lbStatus_->setObjectName(QStringLiteral("lbLinkCheckStatus"));
    lbStatus_->setTextFormat(Qt::PlainText);
    lbFindings_ = new QListWidget(this);
    lbFindings_->setObjectName(QStringLiteral("lbFindings"));
    lbFindings_->setFixedHeight(90);
    NewList(); // the buttons and the progress bar as they stand with no check
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); // the grid takes the rest

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnLinkCheck_);
    bar->addWidget(pbProgress_, 1);
    bar->addWidget(lbStatus_);
    bar->addWidget(btnStop_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(lbFindings_);

    ConnectGuarded(btnLinkCheck_, &QPushButton::clicked, this, &LinkCheckPanel::btnLinkCheckClick);
    ConnectGuarded(btnStop_, &QPushButton::clicked, this, &LinkCheckPanel::btnStopClick);
    connect(lbFindings_, &QListWidget::itemDoubleClicked, this,
            &LinkCheckPanel::FindingDoubleClicked);
    // The findings follow the records through every edit: rows inserted, removed or moved, or a
    // record changed (every role; a verdict that comes in changes two, and adds its own).
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &LinkCheckPanel::ListFindings);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &LinkCheckPanel::ListFindings);
    connect(&model_, &QAbstractItemModel::rowsMoved, this, &LinkCheckPanel::ListFindings);
    connect(&model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty())
                    ListFindings();
            });
    window.installEventFilter(this);
}

LinkCheckPanel::~LinkCheckPanel() {
    Stop();
}

void LinkCheckPanel::NewList() {
    Stop();
    urls_.clear();
    known_.clear();
    severities_.clear();
    counts_ = {};
    finished_ = false;
    lbFindings_->clear();
    pbProgress_->setRange(0, 1);
    pbProgress_->setValue(0);
    pbProgress_->setFormat(QString()); // no count before a check
    lbStatus_->clear();
}

bool LinkCheckPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide)
        Halt(); // closing the window ends the check
    return QWidget::eventFilter(watched, event);
}

void LinkCheckPanel::btnLinkCheckClick() {
    if (worker_.joinable() || model_.Records() == 0)
        return;
    // Each distinct URL once; every record that lists it gets its verdict.
    NewList();
    urls_ = model_.ResetVerdicts();
    known_.assign(urls_.size(), false);
    for (std::size_t url = 0; url < urls_.size(); ++url)
        model_.SetVerdict(url, Waiting());
    pbProgress_->setRange(0, std::max<int>(1, static_cast<int>(urls_.size())));
    pbProgress_->setFormat(QStringLiteral("%v / %m"));
    btnLinkCheck_->setEnabled(false);
    btnStop_->setEnabled(true);

    stop_.store(false);
    const int generation = generation_;
    worker_ = std::thread([this, generation, urls = urls_] {
        std::string failure;
        try {
            const std::vector<std::string_view> views(urls.begin(), urls.end());
            linkcheck::CheckUrls(
                views, linkcheck::Settings{},
                [this, generation](std::size_t url, const linkcheck::Outcome& outcome) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation, url, outcome] {
                            if (generation == generation_)
                                Known(url, outcome);
                        },
                        Qt::QueuedConnection);
                },
                stop_);
        } catch (const Error& e) {
            failure = ErrorBoxText(e);
        } catch (const std::exception& e) {
            failure = ErrorBoxText(Error(e.what()));
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, failure] {
                if (generation == generation_)
                    Finished();
                if (!failure.empty())
                    ShowErrorBox(this, QString::fromStdString(failure));
            },
            Qt::QueuedConnection);
    });
}

void LinkCheckPanel::btnStopClick() {
    Halt();
}

void LinkCheckPanel::Stop() {
    ++generation_; // what the stopped check still sends is left aside
    stop_.store(true);
    if (worker_.joinable())
        worker_.join();
    btnLinkCheck_->setEnabled(true);
    btnStop_->setEnabled(false);
}

void LinkCheckPanel::Halt() {
    if (!worker_.joinable())
        return; // no check under way: the status stays
    Stop();
    const QColor base = grid_.palette().color(QPalette::Base);
    for (std::size_t url = 0; url < urls_.size(); ++url) {
        if (!known_[url])
            model_.SetVerdict(url, Unchecked(base));
    }
    lbStatus_->setText(QStringLiteral("中止しました: URL %1 件のうち %2 件を確認しました。")
                           .arg(urls_.size())
                           .arg(pbProgress_->value()));
}

void LinkCheckPanel::Finished() {
    if (pbProgress_->value() < static_cast<int>(urls_.size())) {
        Halt(); // the check failed before its end
        return;
    }
    Stop(); // joins the worker, which has finished
    finished_ = true;
    lbStatus_->setText(QString::fromStdString(Summary(counts_)));
}

void LinkCheckPanel::Known(std::size_t url, const linkcheck::Outcome& found) {
    // A site whose title turned into another site's since an earlier check in this window.
    const linkcheck::Outcome outcome = titles_.Record(urls_[url], found);
    const auto* verdict =
        model_.SetVerdict(url, VerdictFor(urls_[url], model_.Table().Utf8(), outcome));
    known_[url] = true;
    pbProgress_->setValue(pbProgress_->value() + 1);
    if (!verdict || !verdict->finding)
        return;
    severities_[verdict] = linkcheck::SeverityOf(outcome.verdict);
    for (int row = 0; row < model_.Records(); ++row) {
        if (model_.VerdictOf(row) == verdict) // a record that holds the URL now
            AddFinding(row, *verdict);
    }
}

void LinkCheckPanel::AddFinding(int row, const LinkGridModel::Verdict& verdict) {
    auto* item =
        new QListWidgetItem(QString::number(row + 1) + QStringLiteral(" 行: ") + verdict.text);
    item->setData(Qt::UserRole, row);
    item->setForeground(QColor(0, 0, 0)); // before it is listed, which then tells the list once
    item->setBackground(verdict.colour);
    if (const auto severity = severities_.find(&verdict); severity != severities_.end())
        counts_.Add(severity->second);
    // In the order of the lines, whatever order the answers came in.
    int at = lbFindings_->count();
    while (at > 0 && lbFindings_->item(at - 1)->data(Qt::UserRole).toInt() > row)
        --at;
    lbFindings_->insertItem(at, item);
}

void LinkCheckPanel::ListFindings() {
    if (urls_.empty())
        return; // no check since the list was loaded: no findings
    lbFindings_->clear();
    counts_ = {};
    for (int row = 0; row < model_.Records(); ++row) {
        if (const LinkGridModel::Verdict* verdict = model_.VerdictOf(row);
            verdict && verdict->finding)
            AddFinding(row, *verdict);
    }
    if (finished_) // the summary follows the rows as they are now
        lbStatus_->setText(QString::fromStdString(Summary(counts_)));
}

void LinkCheckPanel::FindingDoubleClicked(QListWidgetItem* item) {
    const int record = item->data(Qt::UserRole).toInt();
    grid_.selectRow(record);
    grid_.scrollTo(model_.index(record, 0));
}

} // namespace qvn::ui
