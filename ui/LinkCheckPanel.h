// The link list window's link check: the 「リンクチェック」 and 「中止」 buttons, a progress bar
// (checked / total) with where the check stands beside it, and the findings below the grid. The
// check runs on a worker thread; its verdicts go to the grid's model, whose rows show them as a
// colour and a tooltip (the rows still waiting for theirs in grey), and a double-click on a finding
// selects its row. Before a check the bar shows no count; after 「中止」 it says so with the count
// checked, and at the end the findings' summary, counted a row each as qvn-build --check-links
// counts them a line each. A verdict belongs to a URL, not to a row: rows added,
// removed, moved or given another URL, during the check or after it, show the verdict of the URL
// they hold now, and the findings list them so. Hiding the window stops the check.
#pragma once

#include "History.h"
#include "LinkCheck.h"
#include "LinkGridModel.h"

#include <QWidget>
#include <atomic>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTableView;

namespace qvn::ui {

class LinkCheckPanel final : public QWidget {
    Q_OBJECT

public:
    // Checks the records of model, which grid shows, and selects a finding's row there. Watches
    // window for being hidden.
    LinkCheckPanel(QTableView& grid, LinkGridModel& model, QWidget& window,
                   QWidget* parent = nullptr);
    ~LinkCheckPanel() override;

    // The model was given another list: stops a check under way, and clears the progress and the
    // findings (the model forgot the verdicts).
    void NewList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void btnLinkCheckClick();
    void btnStopClick();
    // Ends the worker, if any, and sets the buttons for no check under way.
    void Stop();
    // Ends a check under way before its end: the rows still waiting are marked unchecked, and the
    // status says how far the check came.
    void Halt();
    // The worker is done: the summary, or Halt's status when it ended before every URL was known.
    void Finished();
    void Known(std::size_t url, const linkcheck::Outcome& outcome);
    // Lists the findings anew, from the verdicts of the records as they stand.
    void ListFindings();
    void AddFinding(int row, const LinkGridModel::Verdict& verdict);
    void FindingDoubleClicked(QListWidgetItem* item);

    QTableView& grid_;
    LinkGridModel& model_;
    QPushButton* btnLinkCheck_;
    QPushButton* btnStop_;
    QProgressBar* pbProgress_;
    QLabel* lbStatus_;
    QListWidget* lbFindings_;

    std::vector<std::string> urls_; // the distinct URLs of the check, as the model gave them
    std::vector<bool> known_;       // by URL: its verdict has come
    // The severity of each verdict that is a finding, by the verdict the model keeps for its URL.
    std::unordered_map<const LinkGridModel::Verdict*, Severity> severities_;
    Counts counts_;         // of the findings listed
    bool finished_ = false; // the last check went through to its end: the status is the summary
    linkcheck::TitleMemory titles_; // the pages' titles, from check to check

    int generation_ = 0; // of the check under way; each stop starts a new one
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace qvn::ui
