#include "app/InfoViewController.h"

#include "ui_InfoViewController.h"

#include <QPushButton>

namespace pressling::app {

InfoViewController::InfoViewController(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::InfoViewController>()) {
    ui_->setupUi(this);
    setObjectName("InfoViewController");
    QFont title = ui_->titleLabel->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.4);
    ui_->titleLabel->setFont(title);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::close);
}

InfoViewController::~InfoViewController() = default;

InfoViewController* InfoViewController::present(QWidget* source) {
    auto* info = new InfoViewController(source->window());
    info->setAttribute(Qt::WA_DeleteOnClose);
    info->setWindowModality(Qt::WindowModal);
    info->open();
    return info;
}

}  // namespace pressling::app
