#pragma once

#include <QDialog>
#include <QList>

#include <memory>

class QAction;

namespace Ui {
class InfoViewController;
}

namespace pressling::app {

// The information screen ("InfoViewController"), opened by the article list's transition
// "showInfo" when there is nothing to read: what Pressling does and how to subscribe. Its
// content lives in InfoViewController.ui, and its list of keyboard shortcuts comes from the menu
// bar of the window it opens over, so the two always agree. Its only behaviour is closing
// (close:, the close button). Window-modal over the screen that opened it. Main thread.
class InfoViewController final : public QDialog {
    Q_OBJECT

public:
    explicit InfoViewController(QWidget* parent = nullptr);
    ~InfoViewController() override;

    // Opens the screen over source's window; it deletes itself when closed.
    static InfoViewController* present(QWidget* source);

    // Lists each command with its shortcuts ("Reload data: Ctrl+R, F5") ahead of the touch
    // screen's gesture; commands without a shortcut are left out.
    void setShortcuts(const QList<QAction*>& commands);

private:
    std::unique_ptr<Ui::InfoViewController> ui_;
};

}  // namespace pressling::app
