#include "app/LinkTableViewCell.h"

#include "flows/LastRefreshErrors.h"
#include "ui/Localized.h"

#include <QGridLayout>
#include <QLabel>

namespace pressling::app {

LinkTableViewCell::LinkTableViewCell(QWidget* parent)
    : QWidget(parent),
      nameLabel_(new QLabel(this)),
      urlLabel_(new QLabel(this)),
      errorLabel_(new QLabel(ui::Localized::tr("Error"), this)) {
    setObjectName("linkCell");
    nameLabel_->setObjectName("nameLabel");
    urlLabel_->setObjectName("urlLabel");
    errorLabel_->setObjectName("errorLabel");
    for (QLabel* label : {nameLabel_, urlLabel_}) label->setTextFormat(Qt::PlainText);
    QFont bold = nameLabel_->font();
    bold.setBold(true);
    nameLabel_->setFont(bold);
    urlLabel_->setForegroundRole(QPalette::PlaceholderText);
    // A long address must not widen the screen.
    urlLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette red = errorLabel_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    errorLabel_->setPalette(red);
    errorLabel_->setFont(bold);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setVerticalSpacing(2);
    layout->addWidget(nameLabel_, 0, 0);
    layout->addWidget(errorLabel_, 0, 1, Qt::AlignRight);
    layout->addWidget(urlLabel_, 1, 0, 1, 2);
    layout->setColumnStretch(0, 1);
}

void LinkTableViewCell::configure(const Web& web) {
    nameLabel_->setText(QString::fromStdString(web.title));
    urlLabel_->setText(QString::fromStdString(web.url));
    errorLabel_->setHidden(web.error != true);
    const auto reason = LastRefreshErrors::shared().reason(web.url);
    errorLabel_->setToolTip(reason ? QString::fromStdString(*reason) : QString());
}

}  // namespace pressling::app
