// One load's worth of libcurl state, reused load after load.
#ifndef QUORRA_QRHTTPSESSION_H
#define QUORRA_QRHTTPSESSION_H

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "QrHttp.h"

// A multi handle, whose connection cache keeps the server connection open between
// loads, and the easy handle of the transfer. Driving the transfer through the
// multi handle lets another thread wake it at once (Wake), and lets the stall
// limit be kept to the millisecond. Used by one thread at a time; Wake from any.
class CQrHttpSession {
public:
    // Null when libcurl cannot make its handles.
    static std::unique_ptr<CQrHttpSession> Make(const CQrHttpSettings& settings);
    ~CQrHttpSession();
    CQrHttpSession(const CQrHttpSession&) = delete;
    CQrHttpSession& operator=(const CQrHttpSession&) = delete;

    // Fetches url into body (replacing it). Returns 0, or a QR_E_HTTP_ code (or
    // QR_E_NOMEM) with a description in detail. Gives up with QR_E_HTTP_ABORTED
    // soon after abort is raised and Wake called.
    int Fetch(const char* url, const std::atomic<bool>& abort, std::vector<unsigned char>& body,
              std::string& detail);
    // Interrupts the wait of a Fetch in progress on another thread.
    void Wake();
    // Connections the last Fetch opened (0 when it reused one).
    long GetConnections() const { return m_nConnections; }

private:
    CQrHttpSession(CURLM* multi, CURL* easy, const CQrHttpSettings& settings);
    int Describe(CURLcode result, int callbackFailure, std::string& detail);

    CURLM* m_pMulti;
    CURL* m_pEasy;
    int m_nStallMs;
    std::int64_t m_nMaxBody;
    long m_nConnections = 0;
    char m_Error[CURL_ERROR_SIZE];
};

#endif
