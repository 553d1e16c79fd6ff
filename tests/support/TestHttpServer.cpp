#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

const int kPollMs = 20;
const auto kMaxHold = std::chrono::seconds(2);
const auto kMaxRead = std::chrono::seconds(5);

int loopbackSocket(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address;
    memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool sendAll(int socket, const char* data, size_t length) {
    while (length > 0) {
        ssize_t sent = send(socket, data, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

}  // namespace

TestHttpServer::TestHttpServer(Handler handler, int answerTogether)
    : m_handler(std::move(handler)), m_answerTogether(std::max(1, answerTogether)) {
    m_listener = loopbackSocket(m_port);
    if (m_listener >= 0 && listen(m_listener, 16) != 0) {
        close(m_listener);
        m_listener = -1;
    }
    if (m_listener >= 0) m_thread = std::thread(&TestHttpServer::serve, this);
}

TestHttpServer::~TestHttpServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listener >= 0) close(m_listener);
}

std::string TestHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<TestHttpServer::Request> TestHttpServer::requests() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_requests;
}

TestHttpServer::RefusedPort::RefusedPort() {
    // Bound but never listening: the system refuses every connection to it.
    m_socket = loopbackSocket(m_port);
}

TestHttpServer::RefusedPort::~RefusedPort() {
    if (m_socket >= 0) close(m_socket);
}

void TestHttpServer::serve() {
    std::vector<Connection> held;
    std::vector<int> silent;  // told never to answer: closed when the server stops
    auto firstHeld = std::chrono::steady_clock::now();
    while (!m_stop) {
        pollfd listener = {m_listener, POLLIN, 0};
        if (poll(&listener, 1, kPollMs) > 0) {
            int socket = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            Request request;
            if (socket >= 0 && readRequest(socket, request)) {
                Response response = m_handler(request);
                {
                    std::lock_guard<std::mutex> hold(m_lock);
                    m_requests.push_back(request);
                }
                if (!response.answer) {
                    silent.push_back(socket);
                } else {
                    if (held.empty()) firstHeld = std::chrono::steady_clock::now();
                    held.push_back({socket, response});
                    int count = static_cast<int>(held.size());
                    if (count > m_mostHeld) m_mostHeld = count;
                }
            } else if (socket >= 0) {
                close(socket);
            }
        }
        bool due = static_cast<int>(held.size()) >= m_answerTogether ||
                   (!held.empty() && std::chrono::steady_clock::now() - firstHeld > kMaxHold);
        if (!due) continue;
        for (const Connection& connection : held) answer(connection);
        held.clear();
    }
    for (const Connection& connection : held) close(connection.socket);
    for (int socket : silent) close(socket);
}

bool TestHttpServer::readRequest(int socket, Request& request) {
    std::string data;
    size_t headerEnd = std::string::npos;
    size_t bodyLength = 0;
    auto deadline = std::chrono::steady_clock::now() + kMaxRead;
    char buffer[4096];
    while (!m_stop && std::chrono::steady_clock::now() < deadline) {
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + bodyLength) break;
        pollfd connection = {socket, POLLIN, 0};
        if (poll(&connection, 1, kPollMs) <= 0) continue;
        ssize_t got = recv(socket, buffer, sizeof(buffer), 0);
        if (got <= 0) return false;
        data.append(buffer, static_cast<size_t>(got));
        if (headerEnd != std::string::npos ||
            (headerEnd = data.find("\r\n\r\n")) == std::string::npos)
            continue;
        size_t lineEnd = data.find("\r\n");
        std::string first = data.substr(0, lineEnd);
        size_t space = first.find(' ');
        request.method = first.substr(0, space);
        request.path = first.substr(space + 1, first.find(' ', space + 1) - space - 1);
        size_t at = lineEnd + 2;
        while (at < headerEnd) {
            size_t end = data.find("\r\n", at);
            std::string line = data.substr(at, end - at);
            size_t colon = line.find(':');
            if (colon != std::string::npos) {
                size_t value = line.find_first_not_of(' ', colon + 1);
                request.headers[lowerCase(line.substr(0, colon))] =
                    value == std::string::npos ? "" : line.substr(value);
            }
            at = end + 2;
        }
        auto length = request.headers.find("content-length");
        if (length != request.headers.end())
            bodyLength = strtoul(length->second.c_str(), nullptr, 10);
    }
    if (headerEnd == std::string::npos || data.size() < headerEnd + 4 + bodyLength) return false;
    request.body = data.substr(headerEnd + 4, bodyLength);
    return true;
}

void TestHttpServer::answer(const Connection& connection) {
    const Response& response = connection.response;
    std::string head =
        "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
    head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const std::string& line : response.headers) head += line + "\r\n";
    head += "\r\n";
    size_t bodyBytes = response.cutAfter >= 0
                           ? std::min(response.body.size(), static_cast<size_t>(response.cutAfter))
                           : response.body.size();
    if (sendAll(connection.socket, head.data(), head.size()))
        sendAll(connection.socket, response.body.data(), bodyBytes);
    shutdown(connection.socket, SHUT_WR);
    close(connection.socket);
    m_answered++;
}
