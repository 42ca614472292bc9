#pragma once

#include "platform/Download.h"
#include "platform/KeyValueStore.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
namespace Ui {
class AddViewController;
}

namespace pressling::extension {

// Feedgrab's one window: takes a shared link, checks and subscribes to it (grabLink) on the
// global queue, and shows the outcome in titleLabel and infoLabel. Done, or Escape, closes it.
// Main thread only; a main queue bound to the Qt event loop must be installed. listStore must
// outlive every check the window starts (the process's default store does).
class AddViewController final : public QWidget {
    Q_OBJECT

public:
    explicit AddViewController(KeyValueStore& listStore, DownloadOptions options = {},
                               QWidget* parent = nullptr);
    ~AddViewController() override;

    // Sets infoLabel to "Loading..." and takes the shared link: sharedLink when given (the
    // command line), else the clipboard's http or https URL. Without either, the window says how
    // to hand one over and waits for a dropped link.
    void viewDidLoad(const std::optional<QString>& sharedLink);

    // Starts the check of link in the background, showing "Loading..." until its outcome.
    // Ignored while another check runs: a window shows one outcome per check.
    void check(const QString& link);
    bool isChecking() const { return checking_; }

    QLabel* titleLabel() const;
    QLabel* infoLabel() const;

    // Closes the window; the process ends with it. A check still running is abandoned: it
    // writes the list in one transaction at its very end, so nothing is half done.
    void done();

signals:
    // The outcome as the labels show it, translated.
    void resultShown(const QString& title, const QString& info);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showResult(const QString& title, const QString& info);

    std::unique_ptr<Ui::AddViewController> ui_;
    KeyValueStore& listStore_;
    DownloadOptions options_;
    bool checking_ = false;
};

}  // namespace pressling::extension
