#include "support/LoopbackServer.h"

#include <chrono>
#include <stdexcept>

namespace tunelix::test {

LoopbackServer::LoopbackServer()
{
    m_server.set_keep_alive_max_count(1000);
    m_server.set_read_timeout(5, 0);
    m_server.set_write_timeout(5, 0);
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot bind a loopback port");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the loopback server did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void LoopbackServer::stop()
{
    if (m_thread.joinable()) {
        m_server.stop();
        m_thread.join();
    }
}

std::string LoopbackServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

} // namespace tunelix::test
