#include "ui/AlertPresenter.h"

#include "ui/Localized.h"

#include <QMessageBox>
#include <QPushButton>

namespace pressling::ui {

QMessageBox* presentAlert(QWidget* parent, const Alert& alert) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("alert");
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(Localized::key(alert.title));
    box->setText(Localized::key(alert.title));
    box->setInformativeText(Localized::key(alert.message));
    for (const AlertAction& action : alert.actions) {
        // One role for all: the button box sorts buttons by role (after the platform's habit),
        // which would not keep the alert's order. Any button closes the box; Escape is set
        // apart below.
        QPushButton* button = box->addButton(Localized::key(action.title), QMessageBox::AcceptRole);
        if (action.style == AlertAction::Style::cancel) box->setEscapeButton(button);
    }
    if (alert.actions.empty()) box->addButton(QMessageBox::Ok);
    box->setWindowModality(Qt::WindowModal);
    box->open();
    return box;
}

}  // namespace pressling::ui
