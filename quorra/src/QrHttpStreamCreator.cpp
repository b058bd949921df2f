// The HTTP(S) stream creator: names, the pool of sessions, aborting and reporting.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "QrHttp.h"
#include "QrHttpSession.h"

CQrAbortable::~CQrAbortable() {}

namespace {

// Idle sessions kept beyond this many are closed: more than the loading threads
// (at most 10) and the client's thread can use at once.
constexpr std::size_t kMaxIdleSessions = 16;

CQrHttpSettings WithDefaults(CQrHttpSettings s) {
    const CQrHttpSettings defaults;
    if (s.m_nConnectTimeoutMs <= 0)
        s.m_nConnectTimeoutMs = defaults.m_nConnectTimeoutMs;
    if (s.m_nStallMs <= 0)
        s.m_nStallMs = defaults.m_nStallMs;
    if (s.m_nTransferMs <= 0)
        s.m_nTransferMs = defaults.m_nTransferMs;
    if (s.m_nMaxBody <= 0)
        s.m_nMaxBody = defaults.m_nMaxBody;
    return s;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        const char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
        if (c != *prefix)
            return false;
    }
    return true;
}

// The name as it may appear in a log: a password in it is not written out.
std::string ForLog(const char* url) {
    std::string text(url);
    const std::size_t hostStart = text.find("://") + 3;
    const std::size_t hostEnd = std::min(text.find('/', hostStart), text.size());
    const std::size_t at = text.rfind('@', hostEnd - 1);
    if (at != std::string::npos && at >= hostStart)
        text.replace(hostStart, at - hostStart, "***");
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// The pool
// ---------------------------------------------------------------------------

class CQrHttpStreamCreator::Pool {
public:
    explicit Pool(const CQrHttpSettings& settings)
        : m_Settings(WithDefaults(settings)), m_nCurlInit(curl_global_init(CURL_GLOBAL_DEFAULT)) {}

    ~Pool() {
        m_Idle.clear();
        if (m_nCurlInit == CURLE_OK)
            curl_global_cleanup();
    }

    CQrReadStream* Open(const char* name) {
        std::string detail;
        std::vector<unsigned char> body;
        const int code = Fetch(name, body, detail);
        CQrReadStream* stream = nullptr;
        if (code == 0) {
            try {
                stream = new CQrMemoryReadStream(
                    std::make_shared<const std::vector<unsigned char>>(std::move(body)));
            } catch (const std::bad_alloc&) {
                return Fail(name, QR_E_NOMEM, "no memory for the stream");
            }
        }
        return code == 0 ? stream : Fail(name, code, detail);
    }

    void Abort() {
        m_bAborted.store(true, std::memory_order_release);
        std::lock_guard<std::mutex> guard(m_Lock);
        for (CQrHttpSession* session : m_Active)
            session->Wake();
    }

    CQrHttpStats GetStats() const {
        std::lock_guard<std::mutex> guard(m_Lock);
        CQrHttpStats stats = m_Stats;
        stats.m_nActive = static_cast<int>(m_Active.size());
        return stats;
    }

private:
    int Fetch(const char* name, std::vector<unsigned char>& body, std::string& detail) {
        if (m_nCurlInit != CURLE_OK) {
            detail = curl_easy_strerror(m_nCurlInit);
            return QR_E_HTTP_TRANSFER;
        }
        std::unique_ptr<CQrHttpSession> session;
        const int code = Acquire(session);
        if (code != 0) {
            detail = code == QR_E_HTTP_ABORTED ? "aborted" : "no transfer could be made";
            return code;
        }
        int result = QR_E_NOMEM;
        try {
            result = session->Fetch(name, m_bAborted, body, detail);
        } catch (const std::bad_alloc&) {  // a detail text
            result = QR_E_NOMEM;
        }
        Release(std::move(session));
        return result;
    }

    // An idle session, or a new one; registered as active so that Abort reaches it.
    int Acquire(std::unique_ptr<CQrHttpSession>& session) {
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            ++m_Stats.m_nLoads;
            if (m_bAborted.load(std::memory_order_acquire))
                return QR_E_HTTP_ABORTED;
            if (!m_Idle.empty()) {
                session = std::move(m_Idle.back());
                m_Idle.pop_back();
            }
        }
        if (session == nullptr)
            session = CQrHttpSession::Make(m_Settings);
        if (session == nullptr)
            return QR_E_NOMEM;
        std::lock_guard<std::mutex> guard(m_Lock);
        try {
            m_Active.push_back(session.get());
        } catch (const std::bad_alloc&) {
            return QR_E_NOMEM;
        }
        // Checked again under the lock: an Abort that came meanwhile did not see it.
        if (m_bAborted.load(std::memory_order_acquire)) {
            m_Active.pop_back();
            return QR_E_HTTP_ABORTED;
        }
        return 0;
    }

    void Release(std::unique_ptr<CQrHttpSession> session) {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Stats.m_nConnections += session->GetConnections();
        m_Active.erase(std::find(m_Active.begin(), m_Active.end(), session.get()));
        if (m_Idle.size() < kMaxIdleSessions) {
            try {
                m_Idle.push_back(std::move(session));
            } catch (const std::bad_alloc&) {
            }
        }
    }

    CQrReadStream* Fail(const char* name, int code, const std::string& detail) {
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            ++m_Stats.m_nFailures;
        }
        // An abort is what the owner asked for, not a failure worth a line.
        if (m_Settings.m_Report && code != QR_E_HTTP_ABORTED) {
            try {
                const std::string line = ForLog(name) + ": " + detail;
                m_Settings.m_Report("CQrHttpStreamCreator", "CreateStream", code, line.c_str(), 1);
            } catch (...) {
                // A reporter that throws must not take the loading thread down.
            }
        }
        return nullptr;
    }

    const CQrHttpSettings m_Settings;
    const CURLcode m_nCurlInit;
    std::atomic<bool> m_bAborted{false};
    mutable std::mutex m_Lock;                            // guards the members below
    std::vector<std::unique_ptr<CQrHttpSession>> m_Idle;  // the last returned is taken first
    std::vector<CQrHttpSession*> m_Active;
    CQrHttpStats m_Stats;
};

// ---------------------------------------------------------------------------
// CQrHttpStreamCreator
// ---------------------------------------------------------------------------

CQrHttpStreamCreator::CQrHttpStreamCreator(const CQrHttpSettings& settings)
    : m_pPool(std::make_unique<Pool>(settings)) {}

CQrHttpStreamCreator::~CQrHttpStreamCreator() {}

void CQrHttpStreamCreator::Free() {
    delete this;
}

bool CQrHttpStreamCreator::IsHttpName(const char* name) {
    return name != nullptr &&
           (StartsWithNoCase(name, "http://") || StartsWithNoCase(name, "https://"));
}

CQrReadStream* CQrHttpStreamCreator::CreateStream(const char* name) {
    return IsHttpName(name) ? m_pPool->Open(name) : nullptr;
}

void CQrHttpStreamCreator::FreeStream(CQrReadStream* stream) {
    delete stream;
}

void CQrHttpStreamCreator::AbortStreams() {
    m_pPool->Abort();
}

CQrHttpStats CQrHttpStreamCreator::GetStats() const {
    return m_pPool->GetStats();
}
