#pragma once

#include <QMainWindow>
#include <memory>

namespace Ui {
class TfrmMain;
}

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

private:
    std::unique_ptr<Ui::TfrmMain> ui;
};
