#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmTable;
}

class TfrmTable : public QDialog {
    Q_OBJECT

public:
    explicit TfrmTable(QWidget* parent = nullptr);
    ~TfrmTable() override;

private:
    std::unique_ptr<Ui::TfrmTable> ui;
};
