#pragma once

#include "subscriptions/Web.h"

#include <QWidget>

class QLabel;

namespace pressling::app {

// One row of the subscriptions screen ("linkCell"): the feed's title over its address as
// stored, and the error label, shown only while the feed's last download failed (with the
// reason as its tooltip when this process knows it). Main thread.
class LinkTableViewCell final : public QWidget {
    Q_OBJECT

public:
    explicit LinkTableViewCell(QWidget* parent = nullptr);

    void configure(const Web& web);
    QLabel* nameLabel() const { return nameLabel_; }
    QLabel* urlLabel() const { return urlLabel_; }
    QLabel* errorLabel() const { return errorLabel_; }

private:
    QLabel* nameLabel_;
    QLabel* urlLabel_;
    QLabel* errorLabel_;
};

}  // namespace pressling::app
