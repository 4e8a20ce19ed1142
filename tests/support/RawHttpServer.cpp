#include "support/RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tunelix::test {

std::string RawRequest::header(const std::string &name) const
{
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

bool RawConnection::send(const std::string &bytes)
{
    std::size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return m_fd >= 0;
}

void RawConnection::close()
{
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
        m_fd = -1; // the server closes the descriptor when the connection's thread ends
    }
}

void RawConnection::stall(int ms)
{
    std::unique_lock lock(m_server.m_mutex);
    m_server.m_stopped.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_server.m_stopping.load(); });
}

RawHttpServer::RawHttpServer(Handler handler) : m_handler(std::move(handler))
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listenFd < 0)
        throw std::runtime_error("socket");
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 64) != 0)
        throw std::runtime_error("bind/listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

RawHttpServer::~RawHttpServer()
{
    stop();
}

std::string RawHttpServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<RawRequest> RawHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void RawHttpServer::stop()
{
    if (m_stopping.exchange(true))
        return;
    ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_fds)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(m_threads);
    }
    m_stopped.notify_all();
    for (auto &t : threads)
        t.join();
    ::close(m_listenFd);
}

void RawHttpServer::acceptLoop()
{
    while (!m_stopping) {
        const int fd = ::accept(m_listenFd, nullptr, nullptr);
        if (fd < 0)
            return;
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        m_fds.push_back(fd);
        m_threads.emplace_back([this, fd] { serve(fd); });
    }
}

void RawHttpServer::serve(int fd)
{
    std::string pending;
    char buf[4096];
    for (;;) {
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                goto done;
            pending.append(buf, std::size_t(n));
        }
        {
            RawRequest request;
            const std::string head = pending.substr(0, end);
            pending.erase(0, end + 4);
            std::size_t lineEnd = head.find("\r\n");
            const std::string first = head.substr(0, lineEnd);
            const auto sp1 = first.find(' '), sp2 = first.rfind(' ');
            request.method = first.substr(0, sp1);
            request.path = first.substr(sp1 + 1, sp2 - sp1 - 1);
            while (lineEnd != std::string::npos && lineEnd < head.size()) {
                const std::size_t next = head.find("\r\n", lineEnd + 2);
                const std::string line = head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos
                                                                                            : next - lineEnd - 2);
                const auto colon = line.find(':');
                if (colon != std::string::npos) {
                    std::string name = line.substr(0, colon);
                    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
                    std::string value = line.substr(colon + 1);
                    value.erase(0, value.find_first_not_of(' '));
                    request.headers[name] = value;
                }
                lineEnd = next;
            }
            {
                std::lock_guard lock(m_mutex);
                m_log.push_back(request);
            }
            RawConnection connection(fd, *this);
            m_handler(request, connection);
            if (connection.closed())
                goto done;
        }
    }
done:
    ::shutdown(fd, SHUT_RDWR);
    std::lock_guard lock(m_mutex);
    m_fds.erase(std::remove(m_fds.begin(), m_fds.end(), fd), m_fds.end());
    ::close(fd);
}

void RawHttpServer::serveFile(const RawRequest &request, RawConnection &connection, const std::string &content,
                              const RawFileOptions &o)
{
    if (o.status) {
        const std::string body = "<html>error " + std::to_string(o.status) + "</html>";
        connection.send("HTTP/1.1 " + std::to_string(o.status) + " Error\r\nContent-Length: "
                        + std::to_string(body.size()) + "\r\n\r\n" + (request.method == "HEAD" ? "" : body));
        return;
    }
    const auto size = std::int64_t(content.size());
    if (request.method == "HEAD") {
        std::string reply = "HTTP/1.1 200 OK\r\nAccept-Ranges: bytes\r\n";
        if (o.sendHeadLength)
            reply += "Content-Length: " + std::to_string(o.headLength.value_or(size)) + "\r\n";
        else
            reply += "Connection: close\r\n";
        connection.send(reply + "\r\n");
        if (!o.sendHeadLength)
            connection.close();
        return;
    }
    std::int64_t first = 0, last = size - 1;
    bool ranged = false;
    const std::string range = request.header("range");
    if (o.honourRange && range.rfind("bytes=", 0) == 0) {
        long long a = 0, b = 0;
        if (std::sscanf(range.c_str() + 6, "%lld-%lld", &a, &b) == 2) {
            first = a;
            last = std::min<std::int64_t>(b, size - 1);
            ranged = true;
        }
    }
    std::string head;
    std::string body;
    if (ranged) {
        const std::int64_t f = first + o.rangeShift, l = std::min<std::int64_t>(last + o.rangeShift, size - 1);
        body = content.substr(std::size_t(f), std::size_t(l - f + 1));
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(f) + "-" + std::to_string(l)
               + "/" + std::to_string(size) + "\r\n";
    } else {
        body = content;
        head = "HTTP/1.1 200 OK\r\n";
    }
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (!connection.send(head))
        return;
    if (o.stallMs)
        connection.stall(o.stallMs);
    if (o.resetAfter >= 0 && o.resetAfter < std::int64_t(body.size())) {
        connection.send(body.substr(0, std::size_t(o.resetAfter)));
        connection.close();
        return;
    }
    connection.send(body);
}

} // namespace tunelix::test
