#include "UMain1.h"

#include "ui_UMain1.h"

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TfrmMain>()) {
    ui->setupUi(this);
}

TfrmMain::~TfrmMain() = default;
