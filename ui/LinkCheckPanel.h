// The link list window's link check: the 「リンクチェック」 and 「中止」 buttons, a progress bar
// (checked / total), and the findings below the grid. The check runs on a worker thread; its
// verdicts go to the grid's model, whose rows show them as a colour and a tooltip, and a
// double-click on a finding selects its row. A verdict belongs to a URL, not to a row: rows added,
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
    void Stop();
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
    QListWidget* lbFindings_;

    std::vector<std::string> urls_; // the distinct URLs of the check, as the model gave them
    linkcheck::TitleMemory titles_; // the pages' titles, from check to check

    int generation_ = 0; // of the check under way; each stop starts a new one
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace qvn::ui
