#pragma once

#include "feedparse/RSSData.h"

#include <QWidget>

class QLabel;

namespace pressling::app {

// One row of the catalog screen ("rssCell"): a feed's name over its description. Main thread.
class RSSTableViewCell final : public QWidget {
    Q_OBJECT

public:
    explicit RSSTableViewCell(QWidget* parent = nullptr);

    // Shows feed's name and description.
    void configure(const RSSData& feed);

    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* descLabel() const { return descLabel_; }

private:
    QLabel* titleLabel_;
    QLabel* descLabel_;
};

}  // namespace pressling::app
