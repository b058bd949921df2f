// Pictures from web servers: the HTTP(S) creator against real local servers, on
// its own and inside the data layer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "OvControl.h"
#include "OvData.h"
#include "OvJpegSample.h"
#include "OvLog.h"
#include "Pixmere.h"
#include "QrHttp.h"
#include "QrTestServer.h"

// The default body limit must take the largest honest picture file.
static_assert(QR_HTTP_MAX_BODY >= 4 * PX_MAX_PIXELS + 138, "a 32-bit BMP of the largest picture");

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPictures = 24;  // JPEG, PNG and BMP in turn

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<unsigned char> Drain(CQrStreamCreator& creator, CQrReadStream* stream) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(stream->GetSize()));
    EXPECT_EQ(stream->ReadExact(bytes.data(), stream->GetSize()), QR_OK);
    creator.FreeStream(stream);
    return bytes;
}

// Keeps what a creator reports.
struct Reports {
    std::mutex lock;
    std::vector<int> codes;
    QrReportFn Fn() {
        return [this](const char*, const char*, int code, const char*, int) {
            std::lock_guard<std::mutex> guard(lock);
            codes.push_back(code);
        };
    }
};

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits (at most 20 s) until ready() holds.
template <class Ready>
bool WaitFor(Ready ready) {
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (!ready()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class HttpTest : public testing::Test {
protected:
    // Pictures p0..p23 and one plain server for the whole suite.
    static void SetUpTestSuite() {
        s_pFolder = new QrTempDir;
        for (int i = 0; i < kPictures; ++i) {
            const std::string jpeg = Picture(i, "jpg");
            OvWriteFile(jpeg.c_str(), OvMakePhotoJpeg(96 + i, 64, i, 80));
            CPxImageData24 image;
            image.LoadImageA(jpeg.c_str(), nullptr, 0);
            if (i % 3 == 1)
                PxSavePng(image, Picture(i, "png").c_str());
            if (i % 3 == 2)
                PxSaveBmp(image, Picture(i, "bmp").c_str());
        }
        s_pServer = new QrTestServer(s_pFolder->Path());
    }
    static void TearDownTestSuite() {
        delete s_pServer;
        delete s_pFolder;
    }
    void SetUp() override { ASSERT_TRUE(s_pServer->IsRunning()); }

    static std::string Name(int i) {
        static const char* const kinds[] = {"jpg", "png", "bmp"};
        return "p" + std::to_string(i) + "." + kinds[i % 3];
    }
    static std::string Picture(int i, const char* kind) {
        return s_pFolder->Path() + "/p" + std::to_string(i) + "." + kind;
    }

    static QrTempDir* s_pFolder;
    static QrTestServer* s_pServer;
};

QrTempDir* HttpTest::s_pFolder = nullptr;
QrTestServer* HttpTest::s_pServer = nullptr;

// ---------------------------------------------------------------------------
// The creator on its own
// ---------------------------------------------------------------------------

TEST_F(HttpTest, OtherNamesAreLeftToOtherCreators) {
    Reports reports;
    CQrHttpSettings settings;
    settings.m_Report = reports.Fn();
    CQrHttpStreamCreator creator(settings);
    for (const char* name :
         {static_cast<const char*>(nullptr), "", "p0.jpg", "/tmp/http://x",
          "ftp://127.0.0.1/p0.jpg", "file:///etc/passwd", "http:/x", "httpx://x"})
        EXPECT_EQ(creator.CreateStream(name), nullptr) << (name ? name : "null");
    EXPECT_EQ(creator.GetStats().m_nLoads, 0);
    EXPECT_TRUE(reports.codes.empty());
    EXPECT_TRUE(CQrHttpStreamCreator::IsHttpName("HTTPS://example.org/a.png"));
}

// Every fault fails the load alone, quickly, with one report of its kind; a chain
// of redirects within the limit still loads.
TEST_F(HttpTest, FaultsFailInBoundedTime) {
    const struct {
        std::string url;
        int code;
    } cases[] = {
        {s_pServer->Url("fault/redirect/5/p0.jpg"), QR_OK},
        {s_pServer->Url("fault/trickle"), QR_E_HTTP_TIMEOUT},
        {s_pServer->Url("fault/stall"), QR_E_HTTP_TIMEOUT},
        {s_pServer->Url("fault/short"), QR_E_HTTP_TRANSFER},
        {s_pServer->Url("fault/status/404"), QR_E_HTTP_STATUS},
        {s_pServer->Url("fault/status/500"), QR_E_HTTP_STATUS},
        {s_pServer->Url("fault/redirect/6/p0.jpg"), QR_E_HTTP_REDIRECT},
        {s_pServer->Url("fault/loop"), QR_E_HTTP_REDIRECT},
        {s_pServer->Url("fault/to-file"), QR_E_HTTP_REDIRECT},
        {s_pServer->Url("fault/huge"), QR_E_HTTP_TOO_LARGE},
        {s_pServer->Url("fault/endless"), QR_E_HTTP_TOO_LARGE},
        {"http://127.0.0.1:1/p0.jpg", QR_E_HTTP_CONNECT},
    };
    Reports reports;
    CQrHttpSettings settings;
    settings.m_nStallMs = 300;
    settings.m_nTransferMs = 1500;
    settings.m_nMaxBody = 1 << 20;
    settings.m_Report = reports.Fn();
    CQrHttpStreamCreator creator(settings);
    for (const auto& c : cases) {
        reports.codes.clear();
        const auto start = Clock::now();
        CQrReadStream* stream = creator.CreateStream(c.url.c_str());
        EXPECT_LT(MsSince(start), 4000) << c.url;
        if (c.code == QR_OK) {
            ASSERT_NE(stream, nullptr) << c.url;
            EXPECT_EQ(Drain(creator, stream), ReadFile(Picture(0, "jpg")));
            EXPECT_TRUE(reports.codes.empty());
            continue;
        }
        EXPECT_EQ(stream, nullptr) << c.url;
        EXPECT_EQ(reports.codes, std::vector<int>{c.code}) << c.url;
    }
    EXPECT_EQ(creator.GetStats().m_nFailures, static_cast<std::int64_t>(std::size(cases) - 1));
}

TEST_F(HttpTest, HttpsPeerIsVerified) {
    QrTempDir tls;
    QrTestServer server(s_pFolder->Path(), tls.Path());
    ASSERT_TRUE(server.IsRunning());
    const std::string url = server.Url("p1.png");
    Reports reports;
    CQrHttpSettings settings;
    settings.m_Report = reports.Fn();
    CQrHttpStreamCreator unknown(settings);
    EXPECT_EQ(unknown.CreateStream(url.c_str()), nullptr);
    EXPECT_EQ(reports.codes, std::vector<int>{QR_E_HTTP_TLS});

    settings.m_strCaFile = tls.Path() + "/cert.pem";
    CQrHttpStreamCreator trusted(settings);
    CQrReadStream* stream = trusted.CreateStream(url.c_str());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(Drain(trusted, stream), ReadFile(Picture(1, "png")));
}

// ---------------------------------------------------------------------------
// Inside the data layer
// ---------------------------------------------------------------------------

// Pictures by URL through 4 loading threads equal the same files loaded from disk,
// over at most one connection per thread; a failed load is one line in the log.
TEST_F(HttpTest, PicturesByUrlEqualTheFiles) {
    COvControl control;
    ASSERT_EQ(control.Init(0, nullptr), 0);
    CQrHttpSettings settings;
    settings.m_Report = QrReportTo(&control);
    auto* creator = new CQrHttpStreamCreator(settings);
    control.AddStreamCreator(creator);
    control.BeginDraw(4);
    const int connectionsBefore = s_pServer->Stat("connections");

    std::vector<COvDataInfo> urls(kPictures);
    std::vector<COvMemData*> got(kPictures, nullptr);
    for (int i = 0; i < kPictures; ++i)
        urls[i].Init(1, s_pServer->Url(Name(i)).c_str(), 0, 0);
    ASSERT_TRUE(WaitFor([&] {
        bool all = true;
        for (int i = 0; i < kPictures; ++i) {
            if (got[i] == nullptr && control.GetData(&got[i], &urls[i], nullptr) != 0)
                all = false;
        }
        return all;
    }));
    for (int i = 0; i < kPictures; ++i) {
        COvDataInfo file;
        file.Init(1, (s_pFolder->Path() + "/" + Name(i)).c_str(), 2, 0);
        COvMemData* expected = nullptr;
        ASSERT_EQ(control.GetData(&expected, &file, nullptr), 0) << Name(i);
        const auto* a = static_cast<CPxImageData24*>(got[i]->m_pData);
        const auto* b = static_cast<CPxImageData24*>(expected->m_pData);
        ASSERT_EQ(a->GetWidth(), b->GetWidth());
        ASSERT_EQ(a->GetHeight(), b->GetHeight());
        const std::size_t bytes = static_cast<std::size_t>(a->GetLineBytes()) * a->GetHeight();
        EXPECT_EQ(std::memcmp(a->GetData(), b->GetData(), bytes), 0) << Name(i);
        control.UnLockData(expected);
        control.UnLockData(got[i]);
    }
    EXPECT_LE(s_pServer->Stat("connections") - connectionsBefore, 4);
    EXPECT_LE(creator->GetStats().m_nConnections, 4);

    COvDataInfo missing;
    missing.Init(1, s_pServer->Url("fault/status/404").c_str(), 0, 0);
    COvMemData* none = nullptr;
    ASSERT_TRUE(WaitFor([&] { return control.GetData(&none, &missing, nullptr) == -1; }));
    COvString line;
    EXPECT_EQ(control.m_pLog->GetLastError(line), QR_E_HTTP_STATUS);
    control.Exit();
}

// Exit does not wait out the stall limit of loads that hang on a server.
TEST_F(HttpTest, ExitAbortsStalledLoads) {
    COvControl control;
    ASSERT_EQ(control.Init(0, nullptr), 0);
    auto* creator = new CQrHttpStreamCreator;  // the default stall limit: 5 s
    control.AddStreamCreator(creator);
    control.BeginDraw(4);
    std::vector<COvDataInfo> stalls(4);
    for (int i = 0; i < 4; ++i) {
        stalls[i].Init(1, s_pServer->Url("fault/stall?" + std::to_string(i)).c_str(), 0, 0);
        COvMemData* data = nullptr;
        EXPECT_EQ(control.GetData(&data, &stalls[i], nullptr), 200);
    }
    ASSERT_TRUE(WaitFor(
        [&] { return creator->GetStats().m_nActive == 4 && s_pServer->Stat("stalling") >= 4; }));
    const auto start = Clock::now();
    control.Exit();
    EXPECT_LT(MsSince(start), 2000);
}

}  // namespace
