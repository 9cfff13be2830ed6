#include "USetting.h"

#include "ui_USetting.h"

TfrmSetting::TfrmSetting(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmSetting>()) {
    ui->setupUi(this);
}

TfrmSetting::~TfrmSetting() = default;
