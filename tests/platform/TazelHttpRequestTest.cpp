#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TazelHttpRequest.h"
#include "TazelMainThreadQueue.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZMiscTools.h"
#include "ZWindow.h"

namespace {

// What a result event carried, copied while it was being handled (the bytes are the request's
// and go with it).
struct Result {
    int64_t kind;
    int64_t id;
    int64_t code;
    bool hasBytes;
    std::string bytes;
    int64_t length;
    std::thread::id thread;
};

std::vector<Result> g_results;

bool recordResult(ZEvent* event) {
    if (event->type != kZEventHttpResult) return false;
    Result result;
    result.kind = event->httpKind;
    result.id = event->httpRequestId;
    result.code = event->httpResponseCode;
    result.hasBytes = event->httpResponse != nullptr;
    result.length = event->httpResponseLength;
    if (event->httpResponse)
        result.bytes.assign(static_cast<const char*>(event->httpResponse),
                            static_cast<size_t>(event->httpResponseLength));
    result.thread = std::this_thread::get_id();
    g_results.push_back(result);
    return true;
}

// Every test here starts transfer threads; the results come back through the main thread's
// queue, which the test pumps as the window would.
class TazelHttpRequestThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_results.clear();
        window = ZCore::createZWindow(eRendererOpenGL, false, false);
        window->setZOZCallBack(recordResult);
    }
    void TearDown() override {
        TazelHttpRequest::setTimeoutMs(0);
        ZCore::forgetZWindow();
        delete window;
    }

    // Pumps until count results are in, or the time is up.
    bool waitForResults(size_t count, long milliseconds = 8000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (g_results.size() < count && std::chrono::steady_clock::now() < deadline) {
            TazelMainThreadQueue::runQueued();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return g_results.size() >= count;
    }

    // One request's one result.
    Result resultOf(long id) {
        for (const Result& result : g_results)
            if (result.id == id) return result;
        ADD_FAILURE() << "no result for request " << id;
        return Result{};
    }

    ZWindow* window = nullptr;
    const std::thread::id mainThread = std::this_thread::get_id();
};

TestHttpServer::Response answer(int status, const std::string& body,
                                std::vector<std::string> headers = {}) {
    TestHttpServer::Response response;
    response.status = status;
    response.body = body;
    response.headers = std::move(headers);
    return response;
}

TestHttpServer::Response route(const TestHttpServer::Request& request) {
    if (request.path == "/ok") return answer(200, "hello");
    if (request.path == "/binary") return answer(200, std::string("a\0b\0\xff", 5));
    if (request.path == "/empty") return answer(204, "");
    if (request.path == "/redirect") return answer(302, "", {"Location: /ok"});
    if (request.path == "/echo") return answer(201, request.method + " " + request.body);
    return answer(404, "not here");
}

TEST_F(TazelHttpRequestThreadTest, AnswersArriveAsSuccessEventsWithTheirStatusAndBody) {
    TestHttpServer server(route);
    ASSERT_TRUE(server.isListening());
    struct Case {
        const char* method;
        const char* path;
        int64_t code;
        std::string body;
    } cases[] = {
        {"GET", "/ok", 200, "hello"},
        {"GET", "/missing", 404, "not here"},  // an error status still finished loading
        {"GET", "/binary", 200, std::string("a\0b\0\xff", 5)},
        {"GET", "/empty", 204, ""},
        {"GET", "/redirect", 200, "hello"},
        {"DELETE", "/echo", 201, "DELETE "},
    };
    long id = 100;
    for (const Case& c : cases) {
        g_results.clear();
        std::string url = server.url(c.path);
        if (std::string(c.method) == "GET")
            ZMiscTools::doHttpGet(id, url.c_str(), nullptr);
        else
            ZMiscTools::doHttpDelete(id, url.c_str(), nullptr);
        ASSERT_TRUE(waitForResults(1)) << c.path;
        const Result& result = g_results[0];
        EXPECT_EQ(result.kind, 1) << c.path;
        EXPECT_EQ(result.id, id) << c.path;
        EXPECT_EQ(result.code, c.code) << c.path;
        EXPECT_TRUE(result.hasBytes) << c.path;
        EXPECT_EQ(result.bytes, c.body) << c.path;
        EXPECT_EQ(result.thread, mainThread) << c.path;
        EXPECT_EQ(server.requests().back().method, c.method) << c.path;
        id++;
    }
}

TEST_F(TazelHttpRequestThreadTest, PostSendsACopyOfThePayloadAsAForm) {
    TestHttpServer server(route);
    ASSERT_TRUE(server.isListening());
    std::string url = server.url("/echo");
    struct Case {
        std::string payload;
    } cases[] = {{std::string("name=a&b\0c", 10)}, {""}};
    for (const Case& c : cases) {
        g_results.clear();
        std::vector<char> buffer(c.payload.begin(), c.payload.end());
        ZMiscTools::doHttpPost(7, url.c_str(), buffer.data(), buffer.size(), nullptr);
        // The caller may reuse its buffer at once.
        std::fill(buffer.begin(), buffer.end(), 'X');
        ASSERT_TRUE(waitForResults(1)) << c.payload.size();
        EXPECT_EQ(g_results[0].kind, 1);
        EXPECT_EQ(g_results[0].code, 201);
        EXPECT_EQ(g_results[0].bytes, "POST " + c.payload);

        TestHttpServer::Request seen = server.requests().back();
        EXPECT_EQ(seen.method, "POST");
        EXPECT_EQ(seen.body, c.payload);
        EXPECT_EQ(seen.headers["content-length"], std::to_string(c.payload.size()));
        EXPECT_EQ(seen.headers["content-type"], "application/x-www-form-urlencoded");
        EXPECT_EQ(seen.headers.count("expect"), 0u);
    }
}

TEST_F(TazelHttpRequestThreadTest, ResponseFileHoldsTheWholeBodyAndTheEventNoBytes) {
    std::string big(300000, 0);
    for (size_t i = 0; i < big.size(); i++) big[i] = static_cast<char>(i * 7 + i / 251);
    TestHttpServer server([&big](const TestHttpServer::Request& request) {
        return answer(200, request.path == "/big" ? big : "");
    });
    ASSERT_TRUE(server.isListening());
    TempDir dir;
    std::string path = dir.file("answer.bin");
    struct Case {
        const char* path;
        const std::string& body;
    } cases[] = {{"/big", big}, {"/nothing", ""}};
    for (const Case& c : cases) {
        g_results.clear();
        // What an earlier answer left is not mixed into this one.
        writeFile(path, std::string(400000, 'o'));
        ZMiscTools::doHttpGet(3, server.url(c.path).c_str(), path.c_str());
        ASSERT_TRUE(waitForResults(1)) << c.path;
        EXPECT_EQ(g_results[0].kind, 1) << c.path;
        EXPECT_EQ(g_results[0].code, 200) << c.path;
        EXPECT_FALSE(g_results[0].hasBytes) << c.path;
        EXPECT_EQ(g_results[0].length, 0) << c.path;
        ASSERT_TRUE(ZMiscTools::fileExists(path.c_str())) << c.path;
        EXPECT_TRUE(readFile(path) == c.body) << c.path;
    }
}

TEST_F(TazelHttpRequestThreadTest, ResponseFileThatCannotBeWrittenFailsTheRequest) {
    TestHttpServer server(route);
    ASSERT_TRUE(server.isListening());
    TempDir dir;
    std::string path = dir.file("no-such-folder/answer.txt");
    ZMiscTools::doHttpGet(4, server.url("/ok").c_str(), path.c_str());
    ASSERT_TRUE(waitForResults(1));
    EXPECT_EQ(g_results[0].kind, 2);
    EXPECT_EQ(g_results[0].code, 200);  // the answer came; only keeping it failed
}

TEST_F(TazelHttpRequestThreadTest, ConcurrentRequestsCompleteIndependently) {
    // Neither is answered before both are in: one request at a time would never get there.
    TestHttpServer server(
        [](const TestHttpServer::Request& request) {
            return answer(200, "body of " + request.path);
        },
        2);
    ASSERT_TRUE(server.isListening());
    ZMiscTools::doHttpGet(11, server.url("/first").c_str(), nullptr);
    ZMiscTools::doHttpGet(12, server.url("/second").c_str(), nullptr);
    ASSERT_TRUE(waitForResults(2));
    EXPECT_EQ(server.mostHeldAtOnce(), 2);
    EXPECT_EQ(g_results.size(), 2u);
    EXPECT_EQ(resultOf(11).bytes, "body of /first");
    EXPECT_EQ(resultOf(12).bytes, "body of /second");
    EXPECT_EQ(resultOf(11).kind, 1);
    EXPECT_EQ(resultOf(12).kind, 1);
}

TEST_F(TazelHttpRequestThreadTest, FailuresCarryTheCodeOfWhatArrived) {
    EXPECT_EQ(TazelHttpRequest::getTimeoutMs(), 10000);
    TazelHttpRequest::setTimeoutMs(300);
    TestHttpServer server([](const TestHttpServer::Request& request) {
        TestHttpServer::Response response = answer(200, std::string(100, 'x'));
        if (request.path == "/silent") response.answer = false;
        if (request.path == "/cut") response.cutAfter = 10;
        return response;
    });
    ASSERT_TRUE(server.isListening());
    TestHttpServer::RefusedPort refused;
    std::string refusedUrl = "http://127.0.0.1:" + std::to_string(refused.port()) + "/";
    struct Case {
        const char* name;
        std::string url;
        int64_t code;
    } cases[] = {
        {"server never answers", server.url("/silent"), 0},
        {"answer cut short", server.url("/cut"), 200},
        {"connection refused", refusedUrl, 0},
        {"not http", "ftp://127.0.0.1/file", 0},
        {"not a url", "::::", 0},
    };
    for (const Case& c : cases) {
        g_results.clear();
        auto start = std::chrono::steady_clock::now();
        ZMiscTools::doHttpGet(21, c.url.c_str(), nullptr);
        ASSERT_TRUE(waitForResults(1)) << c.name;
        EXPECT_EQ(g_results[0].kind, 2) << c.name;
        EXPECT_EQ(g_results[0].id, 21) << c.name;
        EXPECT_EQ(g_results[0].code, c.code) << c.name;
        EXPECT_FALSE(g_results[0].hasBytes) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

TEST_F(TazelHttpRequestThreadTest, RequestThatCannotStartStillEndsWithAFailure) {
    const char* urls[] = {nullptr, ""};
    for (const char* url : urls) {
        g_results.clear();
        ZMiscTools::doHttpGet(31, url, nullptr);
        ZMiscTools::doHttpPost(32, url, "a", 1, nullptr);
        ZMiscTools::doHttpDelete(33, url, nullptr);
        // Never from inside the call: the caller hears back in the pump.
        EXPECT_TRUE(g_results.empty());
        TazelMainThreadQueue::runQueued();
        ASSERT_EQ(g_results.size(), 3u);
        for (const Result& result : g_results) {
            EXPECT_EQ(result.kind, 2);
            EXPECT_EQ(result.code, 0);
        }
        EXPECT_EQ(g_results[0].id, 31);
        EXPECT_EQ(g_results[2].id, 33);
    }
}

TEST_F(TazelHttpRequestThreadTest, FinishedTransferWaitsForThePump) {
    TestHttpServer server(route);
    ASSERT_TRUE(server.isListening());
    ZMiscTools::doHttpGet(41, server.url("/ok").c_str(), nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.answeredCount() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(g_results.empty());
    ASSERT_TRUE(waitForResults(1));
    EXPECT_EQ(g_results[0].kind, 1);
    EXPECT_EQ(g_results[0].thread, mainThread);
}

TEST_F(TazelHttpRequestThreadTest, WithoutAWindowTheResultIsDropped) {
    TestHttpServer server(route);
    ASSERT_TRUE(server.isListening());
    ZCore::forgetZWindow();
    ZMiscTools::doHttpGet(51, server.url("/ok").c_str(), nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.answeredCount() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < deadline) {
        TazelMainThreadQueue::runQueued();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The request is freed all the same: the leak check at exit would find it otherwise.
    EXPECT_TRUE(g_results.empty());
    EXPECT_EQ(server.answeredCount(), 1);
}

}  // namespace
