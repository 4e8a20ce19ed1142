#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace tunelix::test {

// A real nginx on 127.0.0.1 for end-to-end tests: one server block per mirror, each on
// its own free port, all serving the same root folder. Started in the foreground as
// a child process with a temporary prefix (config, logs, temp folders); stop() or the
// destructor ends it.
class NginxServer
{
public:
    struct Mirror
    {
        std::string limitRate;  // nginx's per-request limit_rate ("64k"), empty: none
        std::string directives; // more directives inside the server block
    };

    NginxServer(QString root, std::vector<Mirror> mirrors);
    ~NginxServer();
    NginxServer(const NginxServer &) = delete;
    NginxServer &operator=(const NginxServer &) = delete;

    // Writes the config, starts nginx and waits (bounded) until every port answers.
    // Throws std::runtime_error when nginx does not start.
    void start();
    void stop();

    // "http://127.0.0.1:PORT" + path for mirror `index`.
    std::string url(int index, const std::string &path) const;
    int port(int index) const { return m_ports.at(std::size_t(index)); }
    QString accessLogPath() const;

    // A free 127.0.0.1 port where nothing listens (a dead mirror).
    static int freePort();

private:
    QString m_root;
    std::vector<Mirror> m_mirrors;
    std::vector<int> m_ports;
    QTemporaryDir m_prefix;
    std::unique_ptr<QProcess> m_process;
};

} // namespace tunelix::test
