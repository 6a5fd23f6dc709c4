// A small HTTP server of the tests' own on 127.0.0.1: each connection is handed, with its
// request already read, to a handler that misbehaves as the test needs.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testmedia {

class FakeHttpServer {
  public:
    // The handler gets the socket and the request head; it may write, wait or close.
    using Handler = std::function<void(int socket, const std::string &request)>;

    explicit FakeHttpServer(Handler handler);
    ~FakeHttpServer();  // closes every connection and joins the threads
    FakeHttpServer(const FakeHttpServer &) = delete;
    FakeHttpServer &operator=(const FakeHttpServer &) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string &path) const;
    // True once the server is going away; handlers that wait poll it.
    bool Stopping() const { return stopping_.load(); }
    int Connections() const { return connections_.load(); }

    // Helpers for handlers.
    static bool SendAll(int socket, const std::string &bytes);
    // Sleeps up to `milliseconds`, returning early (false) when the server stops.
    bool Sleep(int milliseconds) const;

  private:
    void AcceptLoop();

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;  // guarded by mutex_
    std::vector<int> sockets_;          // guarded by mutex_
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

}  // namespace testmedia
