// The link list window's link check panel, and the grid delegate that paints each row's verdict
// under the grid's own cells and shows its message as a tooltip.
#include "LinkCheckPanel.h"

#include "Guard.h"
#include "LinkGridModel.h"
#include "Links.h"
#include "Text.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <unordered_map>

namespace qvn::ui {
namespace {

using linkcheck::Verdict;

// The index of a URL that was not in the list when the check started.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

QColor ColourOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Healthy:
        return {0xd8, 0xf5, 0xd8};
    case Verdict::Moved:
    case Verdict::Suspect:
        return {0xff, 0xf0, 0xb0};
    case Verdict::Unverified:
        return {0xe0, 0xe6, 0xf0};
    case Verdict::Dead:
        return {0xff, 0xc8, 0xc8};
    }
    return {};
}

const char* LabelOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Dead:
        return "エラー";
    case Verdict::Moved:
    case Verdict::Suspect:
        return "警告";
    case Verdict::Unverified:
        return "注記";
    case Verdict::Healthy:
        break;
    }
    return "";
}

// A URL's bytes for the screen: UTF-8 when they are, code page 932 otherwise.
QString UrlText(const std::string& url) {
    const QString utf8 = QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()));
    return utf8.toUtf8() == QByteArray(url.data(), static_cast<qsizetype>(url.size()))
               ? utf8
               : FromCp932(url);
}

// The grid's own cell delegate, with each row's verdict colour painted under the cell and the
// verdict's message as the cell's tooltip.
class VerdictDelegate final : public LinkCellDelegate {
public:
    VerdictDelegate(const LinkCheckPanel& panel, QObject* parent)
        : LinkCellDelegate(parent), panel_(panel) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (const linkcheck::Outcome* outcome = panel_.VerdictOf(index.row()))
            painter->fillRect(option.rect, ColourOf(outcome->verdict));
        LinkCellDelegate::paint(painter, option, index);
    }
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && panel_.VerdictOf(index.row())) {
            QToolTip::showText(event->globalPos(), panel_.MessageOf(index.row()), view);
            return true;
        }
        return LinkCellDelegate::helpEvent(event, view, option, index);
    }

private:
    const LinkCheckPanel& panel_;
};

} // namespace

LinkCheckPanel::LinkCheckPanel(QTableView& grid, QWidget& window, QWidget* parent)
    : QWidget(parent), grid_(grid) {
    btnLinkCheck_ = new QPushButton(QStringLiteral("リンクチェック"), this);
    btnLinkCheck_->setObjectName(QStringLiteral("btnLinkCheck"));
    btnStop_ = new QPushButton(QStringLiteral("中止"), this);
    btnStop_->setObjectName(QStringLiteral("btnStop"));
    btnStop_->setEnabled(false);
    pbProgress_ = new QProgressBar(this);
    pbProgress_->setObjectName(QStringLiteral("pbLinkCheck"));
    pbProgress_->setFormat(QStringLiteral("%v / %m"));
    pbProgress_->setRange(0, 1);
    pbProgress_->setValue(0);
    lbFindings_ = new QListWidget(this);
    lbFindings_->setObjectName(QStringLiteral("lbFindings"));
    lbFindings_->setFixedHeight(90);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); // the grid takes the rest

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnLinkCheck_);
    bar->addWidget(pbProgress_, 1);
    bar->addWidget(btnStop_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(lbFindings_);

    grid_.setItemDelegate(new VerdictDelegate(*this, &grid_));
    ConnectGuarded(btnLinkCheck_, &QPushButton::clicked, this, &LinkCheckPanel::btnLinkCheckClick);
    ConnectGuarded(btnStop_, &QPushButton::clicked, this, &LinkCheckPanel::btnStopClick);
    connect(lbFindings_, &QListWidget::itemDoubleClicked, this,
            &LinkCheckPanel::FindingDoubleClicked);
    // Every edit of the list tells the rows it changed, as far as they reach: a row put in place,
    // or every row from an insertion, removal or move on.
    connect(grid_.model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                RowsChanged(first.row(), last.row());
            });
    window.installEventFilter(this);
}

LinkCheckPanel::~LinkCheckPanel() {
    Stop();
}

void LinkCheckPanel::SetList(std::shared_ptr<const TLinkTable> list) {
    Stop();
    list_ = std::move(list);
    urls_.clear();
    urlIndex_.clear();
    rowUrl_.clear();
    urlRows_.clear();
    outcomes_.clear();
    lbFindings_->clear();
    known_ = 0;
    pbProgress_->setRange(0, 1);
    pbProgress_->setValue(0);
    grid_.viewport()->update();
}

const linkcheck::Outcome* LinkCheckPanel::VerdictOf(int record) const {
    if (record < 0 || static_cast<std::size_t>(record) >= rowUrl_.size() ||
        rowUrl_[record] == kNone)
        return nullptr;
    return outcomes_[rowUrl_[record]].get();
}

QString LinkCheckPanel::MessageOf(int record) const {
    const linkcheck::Outcome* outcome = VerdictOf(record);
    if (!outcome)
        return {};
    const std::string& url = urls_[rowUrl_[record]];
    // The message with the URL put in as text of its own, whatever its bytes.
    QString text = QString::fromUtf8(linkcheck::Describe("\x01", *outcome));
    text.replace(QChar(1), UrlText(url));
    const char* label = LabelOf(outcome->verdict);
    return *label ? QString::fromUtf8(label) + QStringLiteral(": ") + text : text;
}

bool LinkCheckPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide)
        Stop(); // closing the window ends the check
    return QWidget::eventFilter(watched, event);
}

void LinkCheckPanel::btnLinkCheckClick() {
    if (!list_ || worker_.joinable())
        return;
    // Each distinct URL once; every record that lists it gets its verdict.
    const std::shared_ptr<const TLinkTable> list = list_;
    SetList(list);
    for (int row = 0; row < list->Count(); ++row) {
        const std::string url(list->Field(row, kURL));
        const auto [it, fresh] = urlIndex_.emplace(url, urls_.size());
        if (fresh)
            urls_.push_back(url);
        rowUrl_.push_back(it->second);
    }
    IndexRows();
    outcomes_.resize(urls_.size());
    pbProgress_->setRange(0, std::max<int>(1, static_cast<int>(urls_.size())));
    pbProgress_->setValue(0);
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
            failure = ErrorBoxTextUtf8(e);
        } catch (const std::exception& e) {
            failure = ErrorBoxTextUtf8(Error(e.what()));
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
    Stop();
}

void LinkCheckPanel::Stop() {
    ++generation_; // what the stopped check still sends is left aside
    stop_.store(true);
    if (worker_.joinable())
        worker_.join();
    btnLinkCheck_->setEnabled(true);
    btnStop_->setEnabled(false);
}

void LinkCheckPanel::Known(std::size_t url, const linkcheck::Outcome& outcome) {
    if (url >= outcomes_.size() || outcomes_[url])
        return;
    outcomes_[url] = std::make_unique<linkcheck::Outcome>(outcome);
    pbProgress_->setValue(++known_);
    if (outcome.verdict != Verdict::Healthy) {
        for (const int row : urlRows_[url])
            AddFinding(row);
    }
    grid_.viewport()->update();
}

void LinkCheckPanel::AddFinding(int row) {
    const linkcheck::Outcome* outcome = VerdictOf(row);
    auto* item =
        new QListWidgetItem(QString::number(row + 1) + QStringLiteral(" 行: ") + MessageOf(row));
    item->setData(Qt::UserRole, row);
    // In the order of the lines, whatever order the answers came in.
    int at = lbFindings_->count();
    while (at > 0 && lbFindings_->item(at - 1)->data(Qt::UserRole).toInt() > row)
        --at;
    lbFindings_->insertItem(at, item);
    item->setForeground(QColor(0, 0, 0));
    item->setBackground(ColourOf(outcome->verdict));
}

void LinkCheckPanel::RowsChanged(int first, int last) {
    const auto* model = qobject_cast<const LinkGridModel*>(grid_.model());
    if (urls_.empty() || !model || &model->Table() != list_.get())
        return; // no check yet, or the grid is being given another list
    // The rows after the last record emptied or were never records.
    const int rows = list_->Count();
    rowUrl_.resize(static_cast<std::size_t>(rows), kNone);
    for (int row = std::max(first, 0); row <= std::min(last, rows - 1); ++row) {
        const auto it = urlIndex_.find(std::string(list_->Field(row, kURL)));
        rowUrl_[row] = it == urlIndex_.end() ? kNone : it->second;
    }
    IndexRows();
    lbFindings_->clear();
    for (int row = 0; row < rows; ++row) {
        if (const linkcheck::Outcome* outcome = VerdictOf(row);
            outcome && outcome->verdict != Verdict::Healthy)
            AddFinding(row);
    }
}

void LinkCheckPanel::IndexRows() {
    urlRows_.assign(urls_.size(), {});
    for (std::size_t row = 0; row < rowUrl_.size(); ++row) {
        if (rowUrl_[row] != kNone)
            urlRows_[rowUrl_[row]].push_back(static_cast<int>(row));
    }
}

void LinkCheckPanel::Finished() {
    if (worker_.joinable())
        worker_.join();
    btnLinkCheck_->setEnabled(true);
    btnStop_->setEnabled(false);
}

void LinkCheckPanel::FindingDoubleClicked(QListWidgetItem* item) {
    const int record = item->data(Qt::UserRole).toInt();
    grid_.selectRow(record);
    grid_.scrollTo(grid_.model()->index(record, 0));
}

} // namespace qvn::ui
