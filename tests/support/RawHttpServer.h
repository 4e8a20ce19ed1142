#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tunelix::test {

// One request as the raw server read it (header names in small letters).
struct RawRequest
{
    std::string method;
    std::string path;
    std::map<std::string, std::string> headers;
    std::string header(const std::string &name) const;
};

class RawHttpServer;

// How RawHttpServer::serveFile answers.
struct RawFileOptions
{
    bool honourRange = true;               // false: 200 with the whole body
    std::optional<std::int64_t> headLength; // HEAD's Content-Length; none: the real size
    bool sendHeadLength = true;
    std::int64_t rangeShift = 0;           // a 206 for another range than asked
    std::int64_t resetAfter = -1;          // close after this many body bytes
    int stallMs = 0;                       // silence before the body
    int status = 0;                        // a fixed error status (404, 500) instead
};

// The connection a handler answers on: it writes the reply byte for byte, so a test
// can send what no well-behaved server would (a wrong range, a cut body, silence).
class RawConnection
{
public:
    bool send(const std::string &bytes);
    // Ends the connection now (the client sees a reset or an early close).
    void close();
    // Waits `ms` or until the server stops.
    void stall(int ms);
    bool closed() const { return m_fd < 0; }

private:
    friend class RawHttpServer;
    RawConnection(int fd, RawHttpServer &server) : m_fd(fd), m_server(server) {}
    int m_fd;
    RawHttpServer &m_server;
};

// An in-process HTTP/1.1 server on 127.0.0.1 (a free port) for fault cases, with
// keep-alive and a log of every request. The handler runs on the connection's thread.
class RawHttpServer
{
public:
    using Handler = std::function<void(const RawRequest &, RawConnection &)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer &) = delete;
    RawHttpServer &operator=(const RawHttpServer &) = delete;

    int port() const { return m_port; }
    std::string url(const std::string &path) const;
    std::vector<RawRequest> requests() const;
    void stop();

    // Answers HEAD and (ranged) GET for `content` as the options say.
    static void serveFile(const RawRequest &request, RawConnection &connection, const std::string &content,
                          const RawFileOptions &options = {});

private:
    friend class RawConnection;
    void acceptLoop();
    void serve(int fd);

    Handler m_handler;
    int m_listenFd = -1;
    int m_port = 0;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::vector<std::thread> m_threads;
    std::vector<int> m_fds;
    std::vector<RawRequest> m_log;
    std::atomic<bool> m_stopping{false};
};

} // namespace tunelix::test
