#include "UVersion.h"

#include "ui_UVersion.h"

TfrmVer::TfrmVer(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmVer>()) {
    ui->setupUi(this);
}

TfrmVer::~TfrmVer() = default;
