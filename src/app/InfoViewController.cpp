#include "app/InfoViewController.h"

#include "app/MenuBar.h"
#include "ui/Localized.h"

#include "ui_InfoViewController.h"

#include <QAction>
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
    if (const MenuBar* bar = MenuBar::of(source->window())) info->setShortcuts(bar->commands());
    info->setAttribute(Qt::WA_DeleteOnClose);
    info->setWindowModality(Qt::WindowModal);
    info->open();
    return info;
}

void InfoViewController::setShortcuts(const QList<QAction*>& commands) {
    QStringList lines{ui::Localized::tr("Keyboard:")};
    for (const QAction* command : commands) {
        if (command->shortcuts().isEmpty()) continue;
        QStringList keys;
        for (const QKeySequence& key : command->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        lines << command->text().remove('&') + ": " + keys.join(", ");
    }
    ui_->shortcutsLabel->setText(
        lines.join('\n') + "\n\n" +
        ui::Localized::tr("On a touch screen, pull the list down to update."));
}

}  // namespace pressling::app
