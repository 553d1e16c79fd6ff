#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 for the tests of HTTP clients, on a thread of its own. It
// reads each request whole, asks the handler what to answer, and closes the connection after the
// answer. With answerTogether above 1 it holds the connections until that many requests are in
// (or two seconds pass), then answers them all: a client that sends one request at a time never
// gets two held at once.
class TestHttpServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::map<std::string, std::string> headers;  // names in lower case
        std::string body;
    };
    struct Response {
        int status = 200;
        std::string body;
        std::vector<std::string> headers;  // whole lines, "Name: value"
        bool answer = true;                // false: hold the connection, never answer
        long cutAfter = -1;                // 0 or more: close after that many body bytes
    };
    typedef std::function<Response(const Request&)> Handler;

    explicit TestHttpServer(Handler handler, int answerTogether = 1);
    ~TestHttpServer();

    bool isListening() const { return m_listener >= 0; }
    int port() const { return m_port; }
    std::string url(const std::string& path) const;

    std::vector<Request> requests() const;
    int answeredCount() const { return m_answered; }
    // The most connections held unanswered at one time.
    int mostHeldAtOnce() const { return m_mostHeld; }

    // A loopback port held without listening while the object lives: connecting is refused.
    class RefusedPort {
    public:
        RefusedPort();
        ~RefusedPort();
        int port() const { return m_port; }

    private:
        int m_socket = -1;
        int m_port = 0;
    };

private:
    struct Connection {
        int socket;
        Response response;
    };
    void serve();
    bool readRequest(int socket, Request& request);
    void answer(const Connection& connection);

    Handler m_handler;
    int m_answerTogether;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_answered{0};
    std::atomic<int> m_mostHeld{0};
    mutable std::mutex m_lock;
    std::vector<Request> m_requests;
    std::thread m_thread;
};
