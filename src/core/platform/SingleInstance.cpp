#include "platform/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtGlobal>

namespace tunelix {

namespace {
constexpr int kAnswerTimeoutMs = 800;
const QByteArray kRestore = QByteArrayLiteral("restore\n");
const QByteArray kDone = QByteArrayLiteral("ok\n");
} // namespace

QString SingleInstance::defaultName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return QStringLiteral("tunelix-{F9203CFC-0E4C-4C9D-ABBC-F3B1ED7454D6}-") + user;
}

SingleInstance::SingleInstance(QString name, QObject *parent)
    : QObject(parent), m_name(std::move(name))
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isRegistered() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    // A name left by a killed instance refuses connections; one that accepts belongs to
    // a live instance, even one too busy to answer at once.
    if (!socket.waitForConnected(kAnswerTimeoutMs))
        return false;
    socket.write(kRestore);
    if (socket.waitForBytesWritten(kAnswerTimeoutMs)) {
        // Give the first instance a moment to restore its window before this one ends.
        while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerTimeoutMs)) {
        }
    }
    return true;
}

bool SingleInstance::alreadyRunning()
{
    if (askRunningInstance())
        return true;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A stale name left by a killed instance: nobody answered above, so take it over.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return false;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *peer = m_server->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            while (peer->canReadLine()) {
                if (peer->readLine() == kRestore) {
                    emit restoreRequested();
                    peer->write(kDone);
                    peer->flush();
                }
            }
        });
    }
}

} // namespace tunelix
