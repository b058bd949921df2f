// A wall of pictures larger than memory, panned by a user: 400 JPEG pictures of
// 1024 x 768 requested in order, 8 outstanding at a time, through GetData with 2
// loading threads and a budget of 100 pictures, the cache trimmed (EndDraw) as each
// picture arrives; the client re-asks for what is outstanding every millisecond.
// Beside it, in the same iteration and on the same files, the bare libjpeg-turbo
// decode on 2 threads into reused buffers (the decoder's own limit), and the same
// decoder held to the budget's memory: it keeps the last 100 pictures, so its first
// 100 go into memory new to the process, as the cache's do (the machine's limit for
// any loader that keeps the budget's pictures).
//
// BM_Wall_Budgeted400 reports ratio_* (the peer's time over ours: 1.0 is the
// decoder's speed) with its spread over the iterations, the same from the CPU time
// used (cpu_ratio_*, less shaken by other programs on the machine; cpus_* tell how
// much of the machine each side had), both again for the 300 pictures after the cache
// has filled its budget (full_cache_*: every load then evicts a picture), the peak
// memory the run added beside the bound it must stay under, held_ratio_* and
// held_cpu_ratio_* against the peer held to the budget, held_peer_cpu_ratio_* (that
// peer against the reused buffers: what the machine charges for the budget's fresh
// memory), and where the time went besides decoding: the kernel (sys_ms, mostly
// backing the budget's fresh memory), the client's thread (polling and trimming) and
// the page faults (getrusage's count).
//
// BM_Wall_Breakdown runs the steps of one load alone, each on 2 threads over the same
// files: wall ms per picture (_ms), CPU ms per picture (_cpu_ms) and minor faults per
// picture (_faults).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/mman.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchPictures.h"
#include "OvControl.h"
#include "OvData.h"
#include "Pixmere.h"
#include "Quorra.h"
#include "data/OvMemManager.h"

namespace {

constexpr int kWall = 400;
constexpr int kOutstanding = 8;
constexpr int kBudgetPictures = 100;
constexpr int kThreads = 2;
// The pixel pool keeps at most this share of the budget.
constexpr int kPoolShare = 8;
// How long the client waits between two polls when nothing arrived: a fast timer.
constexpr auto kPollPause = std::chrono::milliseconds(1);

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The peer: each of 2 threads decodes into one reused buffer.
double PeerReusedBuffers(const std::vector<std::string>& paths) {
    std::atomic<int> next{0};
    return bench::OnTwoThreads([&] {
        bench::Pixels pixels;
        for (int i; (i = next.fetch_add(1)) < static_cast<int>(paths.size());)
            bench::DecodeBare(paths[static_cast<std::size_t>(i)], pixels);
    });
}

// The same decoder held to the same memory: the last kBudgetPictures pictures are
// kept, each in its own block, and a new picture goes into the block of the oldest.
// The first kBudgetPictures blocks are new to the process, as the cache's are, and
// are backed in one call each (the system's fastest way). This peer is what the
// machine allows any loader that keeps the budget's pictures. Puts the CPU time the
// process used into *cpu, without giving the blocks back, as ours is without Exit.
double PeerHeldToBudget(const std::vector<std::string>& paths, double* cpu) {
    const auto bytes = static_cast<std::size_t>(bench::kPictureBytes);
    std::vector<void*> blocks(kBudgetPictures, nullptr);
    std::atomic<int> next{0};
    const double cpuStart = bench::ProcessCpuSeconds();
    const double seconds = bench::OnTwoThreads([&] {
        for (int i; (i = next.fetch_add(1)) < static_cast<int>(paths.size());) {
            // Two threads take pictures in order, so no two share a block at once.
            void*& block = blocks[static_cast<std::size_t>(i % kBudgetPictures)];
            if (block == nullptr) {
                block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
                if (block == MAP_FAILED)
                    block = nullptr;
            }
            bench::DecodeBareInto(paths[static_cast<std::size_t>(i)],
                                  static_cast<unsigned char*>(block), bytes);
        }
    });
    *cpu = bench::ProcessCpuSeconds() - cpuStart;
    for (void* block : blocks) {
        if (block != nullptr)
            munmap(block, bytes);
    }
    return seconds;
}

// ---------------------------------------------------------------------------
// The scenario
// ---------------------------------------------------------------------------

struct WallRun {
    double seconds = 0;      // the run, without Exit, which emptying the cache makes slow
    double cpu = 0;          // CPU time of the process over the same span
    double fullAfter = 0;    // when the cache had filled its budget
    double cpuFull = 0;      // CPU time until then
    double clientCpu = 0;    // the client's thread, all of it
    double pollSeconds = 0;  // in GetData calls that found the picture still loading
    double trimSeconds = 0;  // in EndDraw
    long long polls = 0;
    long long faults = 0;
    double sysSeconds = 0;       // the kernel's part, all threads
    long long peakKb = -1;       // resident set added at its peak
    long long peakCachedKb = 0;  // the cache's own count at its peak
    long long recycled = 0;      // pictures decoded into recycled memory
    long long peakPoolKb = 0;    // held for recycling at the peak
    bool complete = false;
};

WallRun RunWall(const std::vector<std::string>& paths, unsigned int budget) {
    WallRun run;
    // What earlier runs left to the allocator goes back first, so that the resident
    // set grows by what this run needs.
    malloc_trim(0);
    const bool peak = bench::ResetPeakRss();
    const double sysBefore = bench::ProcessSysSeconds();
    const long long rssBefore = bench::StatusKb("VmRSS");
    const long long faultsBefore = bench::MinorFaults();
    COvControl control;
    control.Init(budget, nullptr);
    control.BeginDraw(kThreads);
    COvMemManager* mm = control.m_pMemManager;
    std::vector<COvDataInfo> infos(paths.size());
    std::vector<int> outstanding;
    const double cpuStart = ThreadCpuSeconds();
    const double processCpuStart = bench::ProcessCpuSeconds();
    const auto start = Clock::now();
    int next = 0;
    int arrived = 0;
    bool failed = false;
    const int total = static_cast<int>(paths.size());
    while (arrived < total && !failed) {
        while (static_cast<int>(outstanding.size()) < kOutstanding && next < total) {
            infos[static_cast<std::size_t>(next)].Init(
                1, paths[static_cast<std::size_t>(next)].c_str(), 0, 0);
            outstanding.push_back(next++);
        }
        bool any = false;
        for (std::size_t k = 0; k < outstanding.size();) {
            COvMemData* data = nullptr;
            const auto asked = Clock::now();
            const int code =
                control.GetData(&data, &infos[static_cast<std::size_t>(outstanding[k])], nullptr);
            if (code != 0) {
                run.pollSeconds += Seconds(asked);
                ++run.polls;
                failed = code != OV_DATA_QUEUED;
                ++k;
                continue;
            }
            control.UnLockData(data);
            const auto trim = Clock::now();
            control.EndDraw();
            run.trimSeconds += Seconds(trim);
            const long long cached = mm->m_Cache.GetStats().bytes / 1024;
            run.peakCachedKb = std::max(run.peakCachedKb, cached);
            outstanding.erase(outstanding.begin() + static_cast<std::ptrdiff_t>(k));
            if (++arrived == kBudgetPictures) {
                run.fullAfter = Seconds(start);
                run.cpuFull = bench::ProcessCpuSeconds() - processCpuStart;
            }
            any = true;
        }
        if (!any)
            std::this_thread::sleep_for(kPollPause);
    }
    run.seconds = Seconds(start);
    run.cpu = bench::ProcessCpuSeconds() - processCpuStart;
    run.faults = bench::MinorFaults() - faultsBefore;
    run.sysSeconds = bench::ProcessSysSeconds() - sysBefore;
    run.clientCpu = ThreadCpuSeconds() - cpuStart;
    run.complete = !failed;
    if (const COvPixelPool* pool = mm->GetPixelPool()) {
        const COvPixelPool::Stats stats = pool->GetStats();
        run.recycled = stats.reused;
        run.peakPoolKb = stats.peakIdleBytes / 1024;
    }
    control.Exit();
    if (peak)
        run.peakKb = bench::StatusKb("VmHWM") - rssBefore;
    return run;
}

// Counters <name>_low, _mid and _high: the spread of the samples.
void PutSpread(benchmark::State& state, const std::string& name,
               const std::vector<double>& samples) {
    const bench::Spread spread = bench::SpreadOf(samples);
    state.counters[name + "_low"] = spread.low;
    state.counters[name + "_mid"] = spread.mid;
    state.counters[name + "_high"] = spread.high;
}

void BM_Wall_Budgeted400(benchmark::State& state) {
    const auto& paths = bench::Pictures(kWall);
    const auto budget = static_cast<unsigned int>(kBudgetPictures * bench::kPictureBytes);
    std::vector<double> ratios;
    // The same from the CPU time the process used: less shaken by other programs.
    std::vector<double> cpuRatios;
    std::vector<double> fullRatios;
    std::vector<double> fullCpuRatios;
    // Against the decoder held to the budget's memory, and that peer against the
    // reused buffers: the part of the gap the machine charges for the budget's memory.
    std::vector<double> heldRatios;
    std::vector<double> heldCpuRatios;
    std::vector<double> heldPeerRatios;
    // How many of the machine's processors each side had on average: the two ratios
    // part where the machine's other work lets one side run more of the time.
    double cpusPeer = 0;
    double cpusOurs = 0;
    WallRun sum;
    long long peakKb = 0;
    bool peerFirst = true;
    for (auto _ : state) {
        // Interleaved, the peer first and last in turn, so that both meet the same
        // load of the shared machine.
        double peer = 0;
        double peerCpu = 0;
        double held = 0;
        double heldCpu = 0;
        const auto runPeer = [&] {
            const double cpu = bench::ProcessCpuSeconds();
            peer = PeerReusedBuffers(paths);
            peerCpu = bench::ProcessCpuSeconds() - cpu;
            held = PeerHeldToBudget(paths, &heldCpu);
        };
        if (peerFirst)
            runPeer();
        const WallRun run = RunWall(paths, budget);
        const double ourCpu = run.cpu;
        if (!peerFirst)
            runPeer();
        peerFirst = !peerFirst;
        if (!run.complete) {
            state.SkipWithError("a picture failed to load");
            break;
        }
        state.SetIterationTime(run.seconds);
        ratios.push_back(peer / run.seconds);
        // Once the cache is full every picture evicts one: the pictures after that,
        // beside the peer's time for as many.
        const double fullShare = static_cast<double>(kWall - kBudgetPictures) / kWall;
        fullRatios.push_back(peer * fullShare / (run.seconds - run.fullAfter));
        fullCpuRatios.push_back(peerCpu * fullShare / (run.cpu - run.cpuFull));
        cpuRatios.push_back(peerCpu / ourCpu);
        heldRatios.push_back(held / run.seconds);
        heldCpuRatios.push_back(heldCpu / ourCpu);
        heldPeerRatios.push_back(peerCpu / heldCpu);
        cpusPeer += peerCpu / peer;
        cpusOurs += ourCpu / run.seconds;
        sum.clientCpu += run.clientCpu;
        sum.pollSeconds += run.pollSeconds;
        sum.trimSeconds += run.trimSeconds;
        sum.polls += run.polls;
        sum.faults += run.faults;
        sum.sysSeconds += run.sysSeconds;
        sum.peakCachedKb = std::max(sum.peakCachedKb, run.peakCachedKb);
        sum.peakPoolKb = std::max(sum.peakPoolKb, run.peakPoolKb);
        sum.recycled += run.recycled;
        peakKb = std::max(peakKb, run.peakKb);
    }
    const double n = static_cast<double>(ratios.size());
    if (n == 0)
        return;
    PutSpread(state, "ratio", ratios);
    PutSpread(state, "cpu_ratio", cpuRatios);
    PutSpread(state, "held_ratio", heldRatios);
    PutSpread(state, "held_cpu_ratio", heldCpuRatios);
    PutSpread(state, "held_peer_cpu_ratio", heldPeerRatios);
    PutSpread(state, "full_cache_ratio", fullRatios);
    PutSpread(state, "full_cache_cpu_ratio", fullCpuRatios);
    state.counters["cpus_peer"] = cpusPeer / n;
    state.counters["cpus_ours"] = cpusOurs / n;
    const double pictures = n * kWall;
    state.counters["client_cpu_ms_per_pic"] = 1e3 * sum.clientCpu / pictures;
    state.counters["poll_ms_per_pic"] = 1e3 * sum.pollSeconds / pictures;
    state.counters["polls_per_pic"] = static_cast<double>(sum.polls) / pictures;
    state.counters["trim_ms_per_pic"] = 1e3 * sum.trimSeconds / pictures;
    state.counters["faults_per_pic"] = static_cast<double>(sum.faults) / pictures;
    state.counters["sys_ms_per_pic"] = 1e3 * sum.sysSeconds / pictures;
    // Peak memory against its bound: the budget, the recycling pool's share of it and
    // one picture per loading thread in flight.
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["peak_cached_MB"] = static_cast<double>(sum.peakCachedKb) / 1024.0;
    state.counters["peak_pool_MB"] = static_cast<double>(sum.peakPoolKb) / 1024.0;
    state.counters["recycled_share"] = static_cast<double>(sum.recycled) / pictures;
    const double mb = 1024.0 * 1024.0;
    state.counters["budget_MB"] = static_cast<double>(budget) / mb;
    state.counters["peak_bound_MB"] =
        (static_cast<double>(budget) * (1.0 + 1.0 / kPoolShare) + kThreads * bench::kPictureBytes) /
        mb;
    state.SetItemsProcessed(state.iterations() * kWall);
}
BENCHMARK(BM_Wall_Budgeted400)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// ---------------------------------------------------------------------------
// The steps alone
// ---------------------------------------------------------------------------

struct Step {
    const char* name;
    double seconds = 0;
    double cpu = 0;
    long long faults = 0;
};

// Runs work(i) for every picture on 2 threads; adds its time and faults to step.
template <class Work>
void Measure(Step& step, int count, Work work) {
    std::atomic<int> next{0};
    const long long faults = bench::MinorFaults();
    const double cpu = bench::ProcessCpuSeconds();
    step.seconds += bench::OnTwoThreads([&] {
        for (int i; (i = next.fetch_add(1)) < count;)
            work(i);
    });
    step.cpu += bench::ProcessCpuSeconds() - cpu;
    step.faults += bench::MinorFaults() - faults;
}

void BM_Wall_Breakdown(benchmark::State& state) {
    const auto& paths = bench::Pictures(kWall);
    const int count = static_cast<int>(paths.size());
    std::vector<std::vector<unsigned char>> files(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        bench::ReadFile(paths[i], files[i]);
    // As many buffers as the budget holds pictures, written in turn: the memory a
    // cache at its budget writes into when it recycles what it evicts.
    std::vector<bench::Pixels> buffers(kBudgetPictures);
    for (std::size_t i = 0; i < buffers.size(); ++i)
        bench::DecodeMemory(files[i], buffers[i]);
    Step read{"read_whole"}, decode{"decode_in_memory"}, ring{"decode_ring_of_buffers"},
        ringZero{"decode_ring_zeroed_first"}, touch{"fault_in_fresh_memory"},
        ours{"ours_file_stream"}, oursMemory{"ours_memory_stream"};
    for (auto _ : state) {
        Measure(read, count, [&](int i) {
            thread_local std::vector<unsigned char> bytes;
            bench::ReadFile(paths[static_cast<std::size_t>(i)], bytes);
        });
        Measure(decode, count, [&](int i) {
            thread_local bench::Pixels pixels;
            bench::DecodeMemory(files[static_cast<std::size_t>(i)], pixels);
        });
        Measure(ring, count, [&](int i) {
            bench::DecodeMemory(files[static_cast<std::size_t>(i)],
                                buffers[static_cast<std::size_t>(i % kBudgetPictures)]);
        });
        Measure(ringZero, count, [&](int i) {
            bench::Pixels& pixels = buffers[static_cast<std::size_t>(i % kBudgetPictures)];
            std::memset(pixels.data.get(), 0, pixels.size);
            bench::DecodeMemory(files[static_cast<std::size_t>(i)], pixels);
        });
        // Fresh memory written once and given back: the kernel's part alone. The
        // kernel hands out pages it has just had back here; memory new to the process
        // costs more on a virtual machine (see sys_ms_per_pic of the scenario).
        Measure(touch, count, [&](int) {
            const auto bytes = static_cast<std::size_t>(bench::kPictureBytes);
            void* mem =
                mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mem == MAP_FAILED)
                return;
            for (std::size_t at = 0; at < bytes; at += 4096)
                static_cast<unsigned char*>(mem)[at] = 1;
            munmap(mem, bytes);
        });
        Measure(ours, count, [&](int i) {
            thread_local CPxImageData24 image;
            CQrFileStreamCreator creator;
            CQrReadStream* stream =
                creator.CreateStream(paths[static_cast<std::size_t>(i)].c_str());
            image.LoadImageA(stream, nullptr, 0);
            creator.FreeStream(stream);
        });
        Measure(oursMemory, count, [&](int i) {
            thread_local CPxImageData24 image;
            const auto& bytes = files[static_cast<std::size_t>(i)];
            CQrMemoryReadStream stream(bytes.data(), bytes.size());
            image.LoadImageA(&stream, nullptr, 0);
        });
    }
    const double pictures = static_cast<double>(state.iterations()) * count;
    for (const Step* step : {&read, &decode, &ring, &ringZero, &touch, &ours, &oursMemory}) {
        state.counters[std::string(step->name) + "_ms"] = 1e3 * step->seconds / pictures;
        state.counters[std::string(step->name) + "_cpu_ms"] = 1e3 * step->cpu / pictures;
        state.counters[std::string(step->name) + "_faults"] =
            static_cast<double>(step->faults) / pictures;
    }
}
BENCHMARK(BM_Wall_Breakdown)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
