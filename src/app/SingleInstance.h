#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <filesystem>

namespace pressling::app {

// One running application per data folder: a second launch on the same folder hands its feed
// addresses to the first over a local socket (readable by this user only) and exits.
//
// start() first tries to reach a running instance; when none answers it takes the folder's
// lock file and listens. A socket or lock left by an instance that crashed blocks nothing: a
// lock whose process is gone is taken over, and the old socket is removed before listening.
// Two launches at once settle through the lock: the one without it waits for the other to
// listen and hands over. Main thread; lives as long as the running application.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Role {
        running,     // this process is the instance; it receives later launches' addresses
        handedOver,  // the addresses went to the running instance; this process should exit
        failed,      // neither could be done (logged); the application runs on alone
    };

    explicit SingleInstance(const std::filesystem::path& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The local socket's name for dataFolder: the same for every launch on the folder.
    static QString serverName(const std::filesystem::path& dataFolder);

    // See the class comment. Blocks for at most a few seconds, while another launch starts.
    Role start(const QStringList& urls);

signals:
    // A later launch's addresses (maybe none: it was started without any), in its order.
    void launched(const QStringList& urls);

private:
    bool handOver(const QStringList& urls) const;
    void receive();

    QString name_;
    QLockFile lock_;
    QLocalServer server_;
};

}  // namespace pressling::app
