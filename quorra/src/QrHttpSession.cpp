// One load through libcurl: options, the transfer loop and what its results mean.
#include "QrHttpSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;

// What the callbacks of one transfer share with the loop.
struct Transfer {
    CURL* easy;
    std::vector<unsigned char>* body;
    std::int64_t limit;
    const std::atomic<bool>* abort;
    Clock::time_point lastByte;
    int failure = 0;  // why a callback stopped the transfer
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    t->lastByte = Clock::now();
    // A new response (after a redirect, or an interim 100) starts a new body.
    if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
        t->body->clear();
    return bytes;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    t->lastByte = Clock::now();
    if (t->abort->load(std::memory_order_acquire)) {
        t->failure = QR_E_HTTP_ABORTED;
        return 0;
    }
    std::vector<unsigned char>& body = *t->body;
    const auto room = static_cast<std::uint64_t>(t->limit) - body.size();
    if (bytes > room) {
        t->failure = QR_E_HTTP_TOO_LARGE;
        return 0;
    }
    try {
        if (body.empty()) {
            // The announced length (already checked against the limit) is taken
            // at once; growth then only serves bodies without one.
            curl_off_t length = -1;
            if (curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
                    CURLE_OK &&
                length > 0 && length <= t->limit)
                body.reserve(static_cast<std::size_t>(length));
        }
        if (body.capacity() - body.size() < bytes) {
            // Double, but never past the limit.
            const std::size_t wanted = std::max(body.size() + bytes, body.capacity() * 2);
            body.reserve(std::min<std::size_t>(wanted, static_cast<std::size_t>(t->limit)));
        }
        body.insert(body.end(), data, data + bytes);
    } catch (const std::bad_alloc&) {
        t->failure = QR_E_NOMEM;
        return 0;
    }
    return bytes;
}

// The options every load of a session shares; false when libcurl refuses one.
bool Configure(CURL* easy, char* errorBuffer, const CQrHttpSettings& s) {
    auto ok = [](CURLcode code) { return code == CURLE_OK; };
    bool all = ok(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer)) &&
               ok(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https")) &&
               ok(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) &&
               ok(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long{QR_HTTP_MAX_REDIRECTS})) &&
               ok(curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long{s.m_nConnectTimeoutMs})) &&
               ok(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long{s.m_nTransferMs})) &&
               ok(curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{s.m_nMaxBody})) &&
               // An empty proxy also keeps libcurl from reading one from the environment.
               ok(curl_easy_setopt(easy, CURLOPT_PROXY, s.m_strProxy.c_str())) &&
               ok(curl_easy_setopt(easy, CURLOPT_USERAGENT, "Orvane/1.0")) &&
               ok(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader)) &&
               ok(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody));
    if (all && !s.m_strCaFile.empty())
        all = ok(curl_easy_setopt(easy, CURLOPT_CAINFO, s.m_strCaFile.c_str()));
    return all;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

std::unique_ptr<CQrHttpSession> CQrHttpSession::Make(const CQrHttpSettings& settings) {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    std::unique_ptr<CQrHttpSession> session;
    if (multi != nullptr && easy != nullptr)
        session.reset(new (std::nothrow) CQrHttpSession(multi, easy, settings));
    if (session == nullptr) {
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        return nullptr;
    }
    if (!Configure(easy, session->m_Error, settings))
        return nullptr;
    return session;
}

CQrHttpSession::CQrHttpSession(CURLM* multi, CURL* easy, const CQrHttpSettings& settings)
    : m_pMulti(multi),
      m_pEasy(easy),
      m_nStallMs(settings.m_nStallMs),
      m_nMaxBody(settings.m_nMaxBody),
      m_Error{} {}

CQrHttpSession::~CQrHttpSession() {
    // The easy handle is never left in the multi handle between loads.
    curl_easy_cleanup(m_pEasy);
    curl_multi_cleanup(m_pMulti);
}

void CQrHttpSession::Wake() {
    curl_multi_wakeup(m_pMulti);
}

// ---------------------------------------------------------------------------
// A load
// ---------------------------------------------------------------------------

int CQrHttpSession::Fetch(const char* url, const std::atomic<bool>& abort,
                          std::vector<unsigned char>& body, std::string& detail) {
    body.clear();
    m_nConnections = 0;
    m_Error[0] = '\0';
    Transfer t{m_pEasy, &body, m_nMaxBody, &abort, Clock::now()};
    if (curl_easy_setopt(m_pEasy, CURLOPT_URL, url) != CURLE_OK) {
        detail = "not a usable URL";
        return QR_E_HTTP_URL;
    }
    curl_easy_setopt(m_pEasy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, &t);
    if (curl_multi_add_handle(m_pMulti, m_pEasy) != CURLM_OK) {
        detail = "no transfer could be started";
        return QR_E_NOMEM;
    }
    const auto stall = std::chrono::milliseconds(m_nStallMs);
    int code = 0;
    for (;;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(m_pMulti, &running);
        if (mc != CURLM_OK) {
            detail = curl_multi_strerror(mc);
            code = mc == CURLM_OUT_OF_MEMORY ? QR_E_NOMEM : QR_E_HTTP_TRANSFER;
            break;
        }
        if (running == 0) {
            int left = 0;
            const CURLMsg* msg = curl_multi_info_read(m_pMulti, &left);
            const CURLcode result =
                msg != nullptr && msg->msg == CURLMSG_DONE ? msg->data.result : CURLE_OK;
            code = Describe(result, t.failure, detail);
            break;
        }
        if (abort.load(std::memory_order_acquire)) {
            detail = "aborted";
            code = QR_E_HTTP_ABORTED;
            break;
        }
        const auto quiet = Clock::now() - t.lastByte;
        if (quiet >= stall) {
            detail = "nothing received for " + std::to_string(m_nStallMs) + " ms";
            code = QR_E_HTTP_TIMEOUT;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(stall - quiet);
        // libcurl shortens the wait for its own timeouts; Wake ends it at once.
        curl_multi_poll(m_pMulti, nullptr, 0, static_cast<int>(left.count()) + 1, nullptr);
    }
    curl_easy_getinfo(m_pEasy, CURLINFO_NUM_CONNECTS, &m_nConnections);
    // Removing a transfer that has not finished closes its connection, so the next
    // load never reads the rest of this one.
    curl_multi_remove_handle(m_pMulti, m_pEasy);
    if (code != 0)
        body.clear();
    return code;
}

int CQrHttpSession::Describe(CURLcode result, int callbackFailure, std::string& detail) {
    detail = m_Error[0] != '\0' ? m_Error : curl_easy_strerror(result);
    switch (result) {
        case CURLE_OK:
            return 0;
        case CURLE_WRITE_ERROR:
            if (callbackFailure == QR_E_HTTP_TOO_LARGE)
                detail = "body larger than " + std::to_string(m_nMaxBody) + " bytes";
            return callbackFailure != 0 ? callbackFailure : QR_E_HTTP_TRANSFER;
        case CURLE_FILESIZE_EXCEEDED:
            detail = "body larger than " + std::to_string(m_nMaxBody) + " bytes";
            return QR_E_HTTP_TOO_LARGE;
        case CURLE_HTTP_RETURNED_ERROR: {
            long status = 0;
            curl_easy_getinfo(m_pEasy, CURLINFO_RESPONSE_CODE, &status);
            detail = "status " + std::to_string(status);
            return QR_E_HTTP_STATUS;
        }
        case CURLE_TOO_MANY_REDIRECTS:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return QR_E_HTTP_REDIRECT;
        case CURLE_OPERATION_TIMEDOUT:
            return QR_E_HTTP_TIMEOUT;
        case CURLE_URL_MALFORMAT:
            return QR_E_HTTP_URL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return QR_E_HTTP_CONNECT;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return QR_E_HTTP_TLS;
        case CURLE_OUT_OF_MEMORY:
            return QR_E_NOMEM;
        default:
            return QR_E_HTTP_TRANSFER;
    }
}
