#include "UList.h"

#include "DialogKeys.h"
#include "FileDrop.h"
#include "Fonts.h"
#include "Guard.h"
#include "LinkGridModel.h"
#include "Text.h"
#include "UDec.h"
#include "UInCSV.h"
#include "USetStrGrid.h"
#include "ui_UList.h"

#include <QHeaderView>

using qvn::ui::ConnectGuarded;

namespace {

constexpr int kFields = 4;       // fields a link record
constexpr int kInitialRows = 51; // the header row and 50 record rows
constexpr int kRowHeight = 18;
constexpr int kNumberWidth = 30;
constexpr int kFieldWidth = 100;

} // namespace

TfrmTable::TfrmTable(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmTable>()),
      odDataFile({QStringLiteral("CSV 形式 (*.csv)"), /*mustExist=*/true, /*save=*/false}) {
    ui->setupUi(this);
    move(199, 112);

    qvn::ui::SetFormFont(this);
    ui->lbFile->setFont(qvn::ui::PixelFont(qvn::ui::FormFace(), 13));
    ui->sgLinkList->setFont(qvn::ui::PixelFont(qvn::ui::GridFace(), 12));

    // The window in button-face colour; the grid's cells on the tooltip colour, its fixed cells
    // (the headers) in button-face colour.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);
    QPalette gridPalette = ui->sgLinkList->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Text, gridPalette.color(QPalette::ToolTipText));
    ui->sgLinkList->setPalette(gridPalette);
    for (QHeaderView* header :
         {ui->sgLinkList->horizontalHeader(), ui->sgLinkList->verticalHeader()})
        header->setPalette(windowPalette);

    model_ = new qvn::ui::LinkGridModel(this);
    ui->sgLinkList->setModel(model_);
    ui->sgLinkList->setItemDelegate(new qvn::ui::LinkCellDelegate(ui->sgLinkList));

    ConnectGuarded(ui->btnRefer, &QPushButton::clicked, this, &TfrmTable::btnReferClick);
    ConnectGuarded(ui->btnLoad, &QPushButton::clicked, this, &TfrmTable::btnLoadClick);
    ConnectGuarded(ui->btnClose, &QPushButton::clicked, this, &TfrmTable::btnCloseClick);

    AppInit();
    ui->sgLinkList->setFocus();
}

TfrmTable::~TfrmTable() = default;

void TfrmTable::AppInit() {
    new qvn::ui::FileDropTarget(this, ui->edPath);

    QTableView& grid = *ui->sgLinkList;
    QHeaderView* rows = grid.verticalHeader();
    QHeaderView* columns = grid.horizontalHeader();
    // No resizing or moving of rows and columns, and a click on a fixed cell selects nothing.
    for (QHeaderView* header : {rows, columns}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setSectionsMovable(false);
        header->setSectionsClickable(false);
        header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    // One row height for every row through the default section size: Qt clamps the default to
    // a font-dependent minimum unless that is lowered first. Heights are never set row by row,
    // which Qt does in time quadratic in the rows.
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(kRowHeight);
    columns->setMinimumSectionSize(0);
    columns->setFixedHeight(kRowHeight);

    qvn::ui::SetRowCount(grid, kInitialRows); // the row numbers come with the rows
    qvn::ui::SetColWidth(grid, 0, kNumberWidth);
    for (int col = 1; col < qvn::ui::LinkGridModel::kGridColumns; ++col)
        qvn::ui::SetColWidth(grid, col, kFieldWidth);
    model_->SetHeaderText(1, QStringLiteral("サイト名"));
    model_->SetHeaderText(2, QStringLiteral("URL"));
    model_->SetHeaderText(3, QStringLiteral("管理者"));
    model_->SetHeaderText(4, QStringLiteral("サイト説明"));
}

void TfrmTable::btnReferClick() {
    if (const auto path = odDataFile.Execute(this))
        ui->edPath->setText(*path);
}

void TfrmTable::btnLoadClick() {
    auto loaded = std::make_shared<qvn::TStringList>();
    const qvn::FilePath path = qvn::ui::PathFromText(ui->edPath->text());
    const int records = qvn::ReadCSV(*loaded, path, kFields);

    QTableView& grid = *ui->sgLinkList;
    // More records than the 50 rows of the start give one row each; fewer leave the rows that
    // an earlier, longer load made.
    if (records > kInitialRows - 1)
        qvn::ui::SetRowCount(grid, records + 1);
    // The grid and Setting.LinkList hold the same list, which neither changes: the fields are
    // held once, and a reload holds the old list and the new one at most.
    qvn::ui::SetStrGrid(grid, loaded, kFields);
    qvn::Setting.LinkList = std::move(loaded);
    qvn::Setting.LinkListFile = path;
}

void TfrmTable::btnCloseClick() {
    done(QDialog::Accepted);
}

void TfrmTable::keyPressEvent(QKeyEvent* event) {
    if (!qvn::ui::SwallowEnterAndEsc(event))
        QDialog::keyPressEvent(event);
}
