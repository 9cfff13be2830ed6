#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmSetting;
}

class TfrmSetting : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSetting(QWidget* parent = nullptr);
    ~TfrmSetting() override;

private:
    std::unique_ptr<Ui::TfrmSetting> ui;
};
