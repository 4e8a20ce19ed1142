#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tunelix {

// Lets one client run per user and desktop. The first instance listens on a local
// socket whose name is made from the client's GUID and the user; a later instance
// connects, asks the first to restore and raise its window, and ends.
// A socket name left behind by a killed client is detected (it refuses connections) and
// taken over. Like the original, the test is not atomic across two simultaneous starts.
// Lives on the GUI thread.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static QString defaultName();

    explicit SingleInstance(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when another instance answered (it has been asked to come forward);
    // false when this process may run, after registering itself.
    bool alreadyRunning();

    // False when registering failed; the client then runs without the guard.
    bool isRegistered() const;

signals:
    // A later instance asked this one to restore and raise its window.
    void restoreRequested();

private:
    bool askRunningInstance();
    void acceptConnections();

    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace tunelix
