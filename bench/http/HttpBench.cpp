// Pictures from a web server beside the same pictures from files, in one run:
// 200 JPEG pictures of 1024 x 768 through GetData with 4 loading threads, from the
// local test server (python3, keep-alive) and from the folder it serves. The
// "ratio_to_files" counter is the server case's throughput over the files'; the
// "connections" counter is how many connections the server accepted per run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "OvControl.h"
#include "OvData.h"
#include "OvJpegSample.h"
#include "QrHttp.h"
#include "QrTestServer.h"
#include "bench/data/BenchLoadAll.h"
#include "data/OvMemManager.h"

namespace {

constexpr int kPictures = 200;
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kThreads = 4;

// The pictures, written once per run, and the server of their folder.
struct Site {
    QrTempDir folder;
    std::vector<std::string> names;
    QrTestServer* server = nullptr;

    Site() {
        for (int i = 0; i < kPictures; ++i) {
            names.push_back("p" + std::to_string(i) + ".jpg");
            const std::string path = folder.Path() + "/" + names.back();
            if (!OvWriteFile(path.c_str(), OvMakePhotoJpeg(kWidth, kHeight, i, 85)))
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
        }
        server = new QrTestServer(folder.Path());
    }
    ~Site() { delete server; }
};

Site& TheSite() {
    static Site site;
    return site;
}

// Loads every name (prefixed) through GetData with kThreads loading threads; the
// seconds taken, or a negative number when not every picture loaded.
double LoadAll(const std::string& prefix, bool http) {
    const Site& site = TheSite();
    COvControl control;
    control.Init(0, nullptr);
    if (http)
        control.AddStreamCreator(new CQrHttpStreamCreator);
    control.BeginDraw(kThreads);
    std::vector<COvDataInfo> infos(kPictures);
    std::vector<std::string> names;
    for (int i = 0; i < kPictures; ++i)
        names.push_back(prefix + site.names[i]);
    const double seconds = bench::RequestAllAndWait(control, infos, names);
    COvMemData* data = nullptr;
    // A failed load is remembered as a record without data: count the pictures.
    int loaded = 0;
    for (auto& info : infos) {
        if (control.GetData(&data, &info, nullptr) == 0) {
            ++loaded;
            control.UnLockData(data);
        }
    }
    control.Exit();
    return loaded == kPictures ? seconds : -1;
}

void BM_LoadJpeg_Http4WorkersBesideFiles(benchmark::State& state) {
    Site& site = TheSite();
    if (!site.server->IsRunning()) {
        state.SkipWithError("the test server did not start");
        return;
    }
    double files = 0;
    double http = 0;
    int connections = 0;
    for (auto _ : state) {
        // The files run in every iteration too, so that the ratio compares runs made
        // under the same load of the machine.
        state.PauseTiming();
        const double fileSeconds = LoadAll(site.folder.Path() + "/", false);
        const int before = site.server->Stat("connections");
        state.ResumeTiming();
        const double seconds = LoadAll(site.server->Url(""), true);
        if (seconds < 0 || fileSeconds < 0) {
            state.SkipWithError("not every picture loaded");
            return;
        }
        state.SetIterationTime(seconds);
        http += seconds;
        files += fileSeconds;
        connections = std::max(connections, site.server->Stat("connections") - before);
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
    // The goal: at least 0.8, over at most one connection per loading thread.
    state.counters["ratio_to_files"] = http > 0 ? files / http : 0;
    state.counters["connections"] = connections;
}
BENCHMARK(BM_LoadJpeg_Http4WorkersBesideFiles)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
