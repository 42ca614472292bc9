#include "app/RSSTableViewCell.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pressling::app {

RSSTableViewCell::RSSTableViewCell(QWidget* parent)
    : QWidget(parent), titleLabel_(new QLabel(this)), descLabel_(new QLabel(this)) {
    setObjectName("rssCell");
    titleLabel_->setObjectName("titleLabel");
    descLabel_->setObjectName("descLabel");
    for (QLabel* label : {titleLabel_, descLabel_}) label->setTextFormat(Qt::PlainText);
    QFont title = titleLabel_->font();
    title.setBold(true);
    titleLabel_->setFont(title);
    descLabel_->setWordWrap(true);
    descLabel_->setForegroundRole(QPalette::PlaceholderText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(2);
    layout->addWidget(titleLabel_);
    layout->addWidget(descLabel_);
}

void RSSTableViewCell::configure(const RSSData& feed) {
    titleLabel_->setText(QString::fromStdString(feed.name));
    // Catalog descriptions can run to whole paragraphs; a row shows their start.
    QString description = QString::fromStdString(feed.description).simplified();
    if (description.size() > 200) description = description.left(199) + QChar(0x2026);
    descLabel_->setText(description);
}

}  // namespace pressling::app
