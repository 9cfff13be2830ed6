#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmVer;
}

class TfrmVer : public QDialog {
    Q_OBJECT

public:
    explicit TfrmVer(QWidget* parent = nullptr);
    ~TfrmVer() override;

private:
    std::unique_ptr<Ui::TfrmVer> ui;
};
