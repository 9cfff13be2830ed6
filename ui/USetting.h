// The settings dialog: the four placeholder tokens that the page builder replaces in the
// template's frame lines. What OK confirms lasts until the program ends.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmSetting;
}

namespace qvn {
struct TSetting;
}

class QShowEvent;

class TfrmSetting : public QDialog {
    Q_OBJECT

public:
    // OK stores the tokens in setting.
    explicit TfrmSetting(qvn::TSetting& setting, QWidget* parent = nullptr);
    ~TfrmSetting() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnOKClick();

    std::unique_ptr<Ui::TfrmSetting> ui;
    qvn::TSetting& setting_;
};
