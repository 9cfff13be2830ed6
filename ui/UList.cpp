#include "UList.h"

#include "ui_UList.h"

TfrmTable::TfrmTable(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmTable>()) {
    ui->setupUi(this);
}

TfrmTable::~TfrmTable() = default;
