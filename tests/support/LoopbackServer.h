#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace tunelix::test {

// An in-process HTTP server on 127.0.0.1 on a free port, for fault cases. Register
// handlers on server() before start(); stop() (or the destructor) ends it.
class LoopbackServer
{
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    httplib::Server &server() { return m_server; }

    // Binds and starts serving; throws std::runtime_error when it cannot.
    void start();
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path
    std::string url(const std::string &path) const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

} // namespace tunelix::test
