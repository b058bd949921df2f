// Pictures from web servers: a stream creator for http:// and https:// names.
#ifndef QUORRA_QRHTTP_H
#define QUORRA_QRHTTP_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "QrAbortable.h"
#include "Quorra.h"

// Status codes of the HTTP(S) creator, handed to its reporter (see CQrHttpSettings).
constexpr int QR_E_HTTP_URL = -71010;        // not a URL the creator can fetch
constexpr int QR_E_HTTP_CONNECT = -71011;    // no connection to the server
constexpr int QR_E_HTTP_TLS = -71012;        // the TLS peer was not verified, or TLS failed
constexpr int QR_E_HTTP_STATUS = -71013;     // the server answered with status 400 or above
constexpr int QR_E_HTTP_REDIRECT = -71014;   // more than 5 redirects, or one to another protocol
constexpr int QR_E_HTTP_TOO_LARGE = -71015;  // the body is larger than the limit
constexpr int QR_E_HTTP_TIMEOUT = -71016;    // connect timeout, stall or transfer time limit
constexpr int QR_E_HTTP_TRANSFER = -71017;   // the connection broke or the body was cut short
constexpr int QR_E_HTTP_ABORTED = -71018;    // AbortStreams was called

// The largest body accepted by default: the largest picture the decoders take
// (2^26 pixels) as a 32-bit BMP, the largest honest file of it, with room for
// its headers. Anything larger is refused before or while it is read.
constexpr std::int64_t QR_HTTP_MAX_BODY = (std::int64_t{4} << 26) + (std::int64_t{1} << 20);
// Redirects followed per load; only to http:// and https:// names.
constexpr int QR_HTTP_MAX_REDIRECTS = 5;

// Receives one line per failed load, with the arguments of COvControl::Logput:
// class name, operation, code, detail, origin. Called from loading threads.
using QrReportFn = std::function<void(const char* className, const char* function, int code,
                                      const char* detail, int origin)>;

// Limits of the creator. A value of 0 or below takes the default.
struct CQrHttpSettings {
    int m_nConnectTimeoutMs = 5000;  // to open a connection
    // A load fails when nothing arrives for this long, counted from its start or
    // from the last byte received.
    int m_nStallMs = 5000;
    int m_nTransferMs = 120000;  // a whole load, redirects included
    std::int64_t m_nMaxBody = QR_HTTP_MAX_BODY;
    // CA bundle (PEM) that verifies the servers instead of the system's, for
    // private servers. Peers are always verified.
    std::string m_strCaFile;
    // Proxy URL; empty: connect directly (the environment is not consulted).
    std::string m_strProxy;
    // Where failures go; none: they are only counted (GetStats).
    QrReportFn m_Report;
};

// A reporter into anything with COvControl's Logput, so that failures appear in
// the library's log: `settings.m_Report = QrReportTo(&control);`. The log's owner
// must outlive the creator (a control does: it frees its creators at Exit).
template <class Log>
QrReportFn QrReportTo(Log* log) {
    return [log](const char* className, const char* function, int code, const char* detail,
                 int origin) { log->Logput(className, function, code, detail, origin); };
}

// What a creator has done so far.
struct CQrHttpStats {
    std::int64_t m_nLoads = 0;        // CreateStream calls for http(s) names
    std::int64_t m_nFailures = 0;     // of those, the ones that gave no stream
    std::int64_t m_nConnections = 0;  // connections opened (a reused one counts once)
    int m_nActive = 0;                // loads in progress now
};

// Opens http:// and https:// names (case-insensitive scheme) by fetching the whole
// body into memory; other names are left to the other creators (null). Only HTTP
// and HTTPS are spoken, also across redirects; a status of 400 or above, a body cut
// short or over the limit, a stall and a timeout each give null and one report.
// Connections are kept open between loads: each load takes an idle connection
// from the creator's pool, so loads from one server by n threads use at most n
// connections. All operations are safe from several threads at once.
//
// libcurl's process-wide state: every creator calls curl_global_init when it is
// made and curl_global_cleanup when it is destroyed; libcurl counts the calls, so
// its state lives while any creator does. Make and destroy creators on one thread
// (the client's) unless the installed libcurl reports CURL_VERSION_THREADSAFE.
class QR_EXPORT CQrHttpStreamCreator : public CQrStreamCreator, public CQrAbortable {
public:
    explicit CQrHttpStreamCreator(const CQrHttpSettings& settings = CQrHttpSettings());
    // No load may be in progress.
    ~CQrHttpStreamCreator() override;
    // A creator holds open connections: it is not copied.
    CQrHttpStreamCreator(const CQrHttpStreamCreator&) = delete;
    CQrHttpStreamCreator& operator=(const CQrHttpStreamCreator&) = delete;

    // Deletes the creator: only a creator made with `new` may be freed.
    void Free() override;
    // Fetches the named body. Returns a stream over it, or null when the name is
    // no http(s) name (nothing reported) or the load failed (reported once).
    CQrReadStream* CreateStream(const char* name) override;
    // Deletes `stream` (null is ignored).
    void FreeStream(CQrReadStream* stream) override;
    // Ends every load in progress within milliseconds and fails every later one
    // (QR_E_HTTP_ABORTED, counted as a failure but not reported).
    void AbortStreams() override;

    CQrHttpStats GetStats() const;
    // True when name begins with http:// or https:// (any case).
    static bool IsHttpName(const char* name);

private:
    class Pool;
    std::unique_ptr<Pool> m_pPool;
};

#endif
