#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "ZObjectBase.h"

// One fire-and-forget HTTP request: GET, POST or DELETE, its response kept in memory or written
// to a file. The transfer runs on a thread of its own; its result is handed to the main thread,
// which sends the game an HTTP result event while the window pumps, then frees the request. Every
// started request ends with exactly one event, also one that could not even be started.
class TazelHttpRequest : public ZObjectBase {
public:
    // The time a request may stay idle (connecting, or waiting for data) before it fails.
    static constexpr long kDefaultTimeoutMs = 10000;

    TazelHttpRequest();

    // Main thread. Each starts the transfer and answers whether it could be started; when it
    // could not, the failure event is already on its way. A filename (UTF-8) sends the response
    // to that file instead of memory. The POST payload is copied.
    bool doHttpGet(const char* url, long requestId, const char* responseFilename);
    bool doHttpPost(const char* url, const void* payload, unsigned long payloadSize, long requestId,
                    const char* responseFilename);
    bool doHttpDelete(const char* url, long requestId, const char* responseFilename);

    // Main thread: send the result event, then free the request.
    void postHttpRequestSuccessOnMainThread();
    void postHttpRequestFailureOnMainThread();

    // The transfer thread's reports. didReceiveData answers false when the bytes could not be
    // kept; isIdleTooLong is asked now and then with the bytes moved so far.
    void didReceiveResponse(long statusCode);
    bool didReceiveData(const void* bytes, size_t length);
    void connectionDidFinishLoading();
    void connectionDidFailWithError();
    bool isIdleTooLong(long long bytesMoved);

    // For tests: a shorter idle time-out than the default; 0 or less restores the default.
    static void setTimeoutMs(long milliseconds);
    static long getTimeoutMs();

private:
    // Success carries the answer (unless it went to a file); failure only the status code.
    void postResultOnMainThread(bool success);
    enum Method { kGet, kPost, kDelete };

    ~TazelHttpRequest() override;

    bool start(Method method, const char* url, long requestId, const char* responseFilename);
    static void* transferMain(void* self);
    void transfer();
    bool closeResponseFile();

    long m_requestId = 0;
    long m_responseCode = 0;
    Method m_method = kGet;
    std::string m_url;
    bool m_toFile = false;
    std::string m_responseFilename;
    FILE* m_responseFile = nullptr;
    std::vector<unsigned char> m_responseBuffer;
    std::vector<unsigned char> m_postPayloadData;
    bool m_isCompleted = false;
    long m_timeoutMs = kDefaultTimeoutMs;
    pthread_t m_thread;
    bool m_threadStarted = false;

    // Idle time-out: the transfer's byte counts and when they last moved.
    long long m_lastProgress = -1;
    unsigned long m_lastProgressTime = 0;
};
