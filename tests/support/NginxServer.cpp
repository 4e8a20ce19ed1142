#include "support/NginxServer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace tunelix::test {

int NginxServer::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        throw std::runtime_error("no free loopback port");
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

NginxServer::NginxServer(QString root, std::vector<Mirror> mirrors)
    : m_root(std::move(root)), m_mirrors(std::move(mirrors))
{
}

NginxServer::~NginxServer()
{
    stop();
}

QString NginxServer::accessLogPath() const
{
    return m_prefix.filePath(QStringLiteral("access.log"));
}

std::string NginxServer::url(int index, const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port(index)) + path;
}

void NginxServer::start()
{
    const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"),
                                                                                   QStringLiteral("/usr/bin")});
    if (nginx.isEmpty())
        throw std::runtime_error("nginx is not installed");
    const QString p = m_prefix.path();
    QDir().mkpath(p + QStringLiteral("/tmp"));
    QByteArray conf;
    conf.append("daemon off;\nworker_processes 1;\n");
    if (::geteuid() == 0)
        conf.append("user root;\n"); // the temporary root is readable by its owner only
    conf.append("pid ").append(QFile::encodeName(p)).append("/nginx.pid;\n");
    conf.append("error_log ").append(QFile::encodeName(p)).append("/error.log warn;\n");
    conf.append("events { worker_connections 256; }\nhttp {\n  default_type application/octet-stream;\n");
    conf.append("  keepalive_requests 10000;\n  keepalive_timeout 30s;\n");
    conf.append("  log_format e2e '$server_port $status $request_method \"$http_range\" $body_bytes_sent "
                "\"$http_user_agent\" $uri';\n");
    conf.append("  access_log ").append(QFile::encodeName(accessLogPath())).append(" e2e;\n");
    for (const char *t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf.append("  ").append(t).append("_temp_path ").append(QFile::encodeName(p)).append("/tmp;\n");
    conf.append("  root ").append(QFile::encodeName(m_root)).append(";\n");
    m_ports.clear();
    for (const Mirror &m : m_mirrors) {
        const int port = freePort();
        m_ports.push_back(port);
        conf.append("  server { listen 127.0.0.1:").append(QByteArray::number(port)).append("; ");
        if (!m.limitRate.empty())
            conf.append("limit_rate ").append(m.limitRate.c_str()).append("; ");
        conf.append(m.directives.c_str()).append(" }\n");
    }
    conf.append("}\n");
    QFile file(p + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf) != conf.size())
        throw std::runtime_error("cannot write nginx.conf");
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // nginx must not outlive a test that crashed or ended without its destructors.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process->start(nginx, {QStringLiteral("-p"), p, QStringLiteral("-c"), p + QStringLiteral("/nginx.conf"),
                             QStringLiteral("-e"), p + QStringLiteral("/error.log")});
    if (!m_process->waitForStarted(10000))
        throw std::runtime_error("nginx did not start");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (const int port : m_ports) {
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            if (probe.waitForConnected(200))
                break;
            if (m_process->state() == QProcess::NotRunning || std::chrono::steady_clock::now() > deadline) {
                QFile log(p + QStringLiteral("/error.log"));
                log.open(QIODevice::ReadOnly);
                throw std::runtime_error("nginx did not listen: " + log.readAll().toStdString()
                                         + m_process->readAll().toStdString());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

void NginxServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // SIGTERM: fast shutdown of master and worker
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

} // namespace tunelix::test
