#pragma once

#include "ui/SplitViewController.h"

namespace pressling::app {

// The window's split view: the article list beside the article's page. Everything it does is
// the split view's; it only gives the window's root its name.
class MainViewController final : public ui::SplitViewController {
    Q_OBJECT

public:
    explicit MainViewController(QWidget* parent = nullptr) : ui::SplitViewController(parent) {
        setObjectName("MainViewController");
    }
};

}  // namespace pressling::app
