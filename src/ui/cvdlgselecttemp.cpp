#include "ui/cvdlgselecttemp.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

TDlgSelectTemperature::TDlgSelectTemperature(QWidget* owner) : QDialog(owner) {
    setObjectName("DlgSelectTemperature");
    setWindowTitle("Select temperature");
    resize(456, 282);
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget;
    list_->setObjectName("LBTemps");
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { LBTempsDblClick(); });
    if (owner) move(owner->geometry().center() - rect().center());
}

void TDlgSelectTemperature::LBTempsDblClick() {
    if (Chosen() >= 0) accept();
}

int TDlgSelectTemperature::Chosen() const {
    return list_->currentRow() >= 0 && list_->currentItem() && list_->currentItem()->isSelected() ? list_->currentRow()
                                                                                                  : -1;
}
