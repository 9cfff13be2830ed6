// The link list window's link check: the 「リンクチェック」 and 「中止」 buttons, a progress bar
// (checked / total), and the findings below the grid. The check runs on a worker thread; each
// row of the grid shows its link's verdict as a colour and a tooltip, and a double-click on a
// finding selects its row. A verdict belongs to a URL, not to a row: rows added, removed, moved or
// given another URL, during the check or after it, show the verdict of the URL they hold now.
// Hiding the window stops the check.
#pragma once

#include "LinkCheck.h"
#include "LinkTable.h"

#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTableView;

namespace qvn::ui {

class LinkCheckPanel final : public QWidget {
    Q_OBJECT

public:
    // Works on grid (its rows are the records of the list set by SetList, and its model, set
    // already, tells of their edits): paints the verdicts under the grid's own cells and selects a
    // finding's row. Watches window for being hidden.
    LinkCheckPanel(QTableView& grid, QWidget& window, QWidget* parent = nullptr);
    ~LinkCheckPanel() override;

    // The list the next check works on: four fields a record, as loaded. A new list forgets the
    // verdicts of the last one, and stops a check under way.
    void SetList(std::shared_ptr<const TLinkTable> list);

    // The verdict of a record of the list, nullptr while it has none.
    const linkcheck::Outcome* VerdictOf(int record) const;
    QString MessageOf(int record) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnLinkCheckClick();
    void btnStopClick();
    void Stop();
    void Known(std::size_t url, const linkcheck::Outcome& outcome);
    // Rows first to last of the list changed: takes their URLs anew and lists the findings again.
    void RowsChanged(int first, int last);
    // Which rows list each URL, from rowUrl_.
    void IndexRows();
    void AddFinding(int row);
    void Finished();
    void FindingDoubleClicked(QListWidgetItem* item);

    QTableView& grid_;
    QPushButton* btnLinkCheck_;
    QPushButton* btnStop_;
    QProgressBar* pbProgress_;
    QListWidget* lbFindings_;

    std::shared_ptr<const TLinkTable> list_;
    // The distinct URLs of the list when the check started, and their indexes.
    std::vector<std::string> urls_;
    std::unordered_map<std::string, std::size_t> urlIndex_;
    std::vector<std::size_t> rowUrl_;       // by row as the list stands: its URL's index, or kNone
    std::vector<std::vector<int>> urlRows_; // by URL: the rows that list it now
    std::vector<std::unique_ptr<linkcheck::Outcome>> outcomes_; // by URL
    int known_ = 0;

    int generation_ = 0; // of the check under way; each stop starts a new one
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace qvn::ui
