#include "fake_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace testmedia {
namespace {

int ListenOnLoopback(int &port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Reads the request head (up to the blank line), giving up after two seconds.
std::string ReadRequest(int fd) {
    std::string request;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        pollfd p{fd, POLLIN, 0};
        if (std::chrono::steady_clock::now() > end || poll(&p, 1, 100) < 0) break;
        if (!(p.revents & POLLIN)) continue;
        char buffer[1024];
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    return request;
}

}  // namespace

FakeHttpServer::FakeHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeHttpServer::~FakeHttpServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int fd : sockets_)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread &worker : workers_)
        worker.join();
    for (int fd : sockets_)
        close(fd);
    if (listener_ >= 0) close(listener_);
}

std::string FakeHttpServer::Url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FakeHttpServer::AcceptLoop() {
    while (!stopping_ && listener_ >= 0) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) continue;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        std::lock_guard<std::mutex> lock(mutex_);
        sockets_.push_back(fd);
        workers_.emplace_back([this, fd] {
            std::string request = ReadRequest(fd);
            handler_(fd, request);
            shutdown(fd, SHUT_RDWR);
        });
    }
}

bool FakeHttpServer::SendAll(int socket, const std::string &bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool FakeHttpServer::Sleep(int milliseconds) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (stopping_) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stopping_;
}

int ClosedPort() {
    int port = 0;
    int fd = ListenOnLoopback(port);
    if (fd >= 0) close(fd);
    return port;
}

}  // namespace testmedia
