#include "TazelHttpRequest.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "TazelMainThreadQueue.h"
#include "ZCore.h"
#include "ZEvent.h"

namespace {

std::atomic<long> g_timeoutMs{TazelHttpRequest::kDefaultTimeoutMs};
bool g_curlReady = false;

unsigned long steadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<unsigned long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void deliverSuccess(void* request) {
    static_cast<TazelHttpRequest*>(request)->postHttpRequestSuccessOnMainThread();
}

void deliverFailure(void* request) {
    static_cast<TazelHttpRequest*>(request)->postHttpRequestFailureOnMainThread();
}

size_t writeCallback(char* bytes, size_t size, size_t count, void* request) {
    size_t length = size * count;
    // Anything short of the whole length makes the transfer fail.
    return static_cast<TazelHttpRequest*>(request)->didReceiveData(bytes, length) ? length : 0;
}

int progressCallback(void* request, curl_off_t, curl_off_t downloaded, curl_off_t,
                     curl_off_t uploaded) {
    return static_cast<TazelHttpRequest*>(request)->isIdleTooLong(downloaded + uploaded) ? 1 : 0;
}

}  // namespace

TazelHttpRequest::TazelHttpRequest() : m_thread() {}

TazelHttpRequest::~TazelHttpRequest() {
    if (m_threadStarted) pthread_join(m_thread, nullptr);
    if (m_responseFile) fclose(m_responseFile);
}

void TazelHttpRequest::setTimeoutMs(long milliseconds) {
    g_timeoutMs = milliseconds > 0 ? milliseconds : kDefaultTimeoutMs;
}

long TazelHttpRequest::getTimeoutMs() {
    return g_timeoutMs;
}

bool TazelHttpRequest::doHttpGet(const char* url, long requestId, const char* responseFilename) {
    return start(kGet, url, requestId, responseFilename);
}

bool TazelHttpRequest::doHttpPost(const char* url, const void* payload, unsigned long payloadSize,
                                  long requestId, const char* responseFilename) {
    const unsigned char* bytes = static_cast<const unsigned char*>(payload);
    if (bytes && payloadSize)
        m_postPayloadData.assign(bytes, bytes + payloadSize);
    else
        m_postPayloadData.clear();
    return start(kPost, url, requestId, responseFilename);
}

bool TazelHttpRequest::doHttpDelete(const char* url, long requestId, const char* responseFilename) {
    return start(kDelete, url, requestId, responseFilename);
}

bool TazelHttpRequest::start(Method method, const char* url, long requestId,
                             const char* responseFilename) {
    m_method = method;
    m_requestId = requestId;
    m_responseCode = 0;
    m_toFile = responseFilename && *responseFilename;
    m_responseFilename = m_toFile ? responseFilename : "";
    m_responseBuffer.clear();
    m_timeoutMs = g_timeoutMs;

    if (!g_curlReady) g_curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    bool started = false;
    if (url && *url && g_curlReady) {
        m_url = url;
        started = pthread_create(&m_thread, nullptr, transferMain, this) == 0;
        m_threadStarted = started;
    }
    // The caller hears back in any case, as from a request that failed at once.
    if (!started) {
        m_isCompleted = true;
        TazelMainThreadQueue::post(deliverFailure, this);
    }
    return started;
}

void* TazelHttpRequest::transferMain(void* self) {
    static_cast<TazelHttpRequest*>(self)->transfer();
    return nullptr;
}

void TazelHttpRequest::transfer() {
    CURL* curl = curl_easy_init();
    if (!curl) {
        connectionDidFailWithError();
        return;
    }
    curl_slist* headers = nullptr;
    char contentLength[48];

    curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 16L);
    // Compressed responses are accepted and handed on decoded, as the platform's own loader does.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    // The time-out counts idle time, not the whole transfer: a slow but moving download goes on.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_timeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);

    // No response cache is kept, so every request reaches the server: GETs under the protocol's
    // default policy may always load, and POST and DELETE answers are never cached anyway.
    if (m_method == kPost) {
        snprintf(contentLength, sizeof(contentLength), "Content-Length: %lu",
                 static_cast<unsigned long>(m_postPayloadData.size()));
        headers = curl_slist_append(headers, contentLength);
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        // No 100-continue round trip: the body goes out with the headers.
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(m_postPayloadData.size()));
        // Never null: without a body pointer a POST would read its body from standard input.
        static const char kEmpty[] = "";
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS,
                         m_postPayloadData.empty()
                             ? kEmpty
                             : reinterpret_cast<const char*>(m_postPayloadData.data()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    } else if (m_method == kDelete) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
    }

    m_lastProgress = -1;
    m_lastProgressTime = steadyMilliseconds();
    CURLcode result = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);

    bool fileWritten = closeResponseFile();
    if (result == CURLE_OK && fileWritten) {
        didReceiveResponse(code);
        connectionDidFinishLoading();
    } else {
        // A failure after a redirect answer failed on the way to the real response: none came.
        didReceiveResponse(code >= 300 && code < 400 ? 0 : code);
        connectionDidFailWithError();
    }
}

// A file response is complete on disk when the success event is sent: an empty body still
// leaves an empty file, and a write that fails fails the request.
bool TazelHttpRequest::closeResponseFile() {
    if (!m_toFile) return true;
    if (!m_responseFile) m_responseFile = fopen(m_responseFilename.c_str(), "wb");
    if (!m_responseFile) return false;
    bool written = fclose(m_responseFile) == 0;
    m_responseFile = nullptr;
    return written;
}

void TazelHttpRequest::didReceiveResponse(long statusCode) {
    m_responseCode = statusCode;
}

bool TazelHttpRequest::didReceiveData(const void* bytes, size_t length) {
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    if (!m_toFile) {
        m_responseBuffer.insert(m_responseBuffer.end(), data, data + length);
        return true;
    }
    if (!m_responseFile) m_responseFile = fopen(m_responseFilename.c_str(), "wb");
    return m_responseFile && fwrite(data, 1, length, m_responseFile) == length;
}

void TazelHttpRequest::connectionDidFinishLoading() {
    if (m_isCompleted) return;
    m_isCompleted = true;
    TazelMainThreadQueue::post(deliverSuccess, this);
}

void TazelHttpRequest::connectionDidFailWithError() {
    if (m_isCompleted) return;
    m_isCompleted = true;
    TazelMainThreadQueue::post(deliverFailure, this);
}

bool TazelHttpRequest::isIdleTooLong(long long bytesMoved) {
    unsigned long now = steadyMilliseconds();
    if (bytesMoved != m_lastProgress) {
        m_lastProgress = bytesMoved;
        m_lastProgressTime = now;
        return false;
    }
    return now - m_lastProgressTime >= static_cast<unsigned long>(m_timeoutMs);
}

void TazelHttpRequest::postHttpRequestSuccessOnMainThread() {
    postResultOnMainThread(true);
}

void TazelHttpRequest::postHttpRequestFailureOnMainThread() {
    postResultOnMainThread(false);
}

void TazelHttpRequest::postResultOnMainThread(bool success) {
    if (m_threadStarted) {
        pthread_join(m_thread, nullptr);
        m_threadStarted = false;
    }
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventHttpResult;
    event.httpKind = success ? 1 : 2;
    event.httpRequestId = m_requestId;
    event.httpResponseCode = m_responseCode;
    if (success && !m_toFile) {
        // A NUL after the bytes (not counted) lets a game read a text answer as a C string.
        size_t length = m_responseBuffer.size();
        m_responseBuffer.push_back(0);
        event.httpResponse = m_responseBuffer.data();
        event.httpResponseLength = static_cast<int64_t>(length);
    }
    ZCore::dispatchEventToWindow(&event);
    delete this;
}
