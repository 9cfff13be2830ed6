// The About box: the program's picture, its name, version and maker.
#pragma once

#include <QDialog>
#include <QImage>
#include <memory>

namespace Ui {
class TfrmVer;
}

class QShowEvent;

class TfrmVer : public QDialog {
    Q_OBJECT

public:
    explicit TfrmVer(QWidget* parent = nullptr);
    ~TfrmVer() override;

    // Paints picture at (0, 0) on imgVer's 130 x 260 canvas; the pixels of exactly the colour of
    // the canvas's bottom-left pixel become transparent. A null picture leaves imgVer empty.
    void DrawPicture(const QImage& picture);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    std::unique_ptr<Ui::TfrmVer> ui;
};
