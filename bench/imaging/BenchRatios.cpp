#include "BenchRatios.h"

#include <cstdio>

namespace {

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions the fastest one counts: the machine may be busy with other
        // work, which only ever slows a run down.
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0 || r.error_occurred)
                continue;
            std::string name = r.benchmark_name();
            const auto rep = name.find("/repeats:");
            if (rep != std::string::npos)
                name.erase(rep);
            const double t = r.GetAdjustedCPUTime();
            auto it = times.find(name);
            if (it == times.end() || t < it->second)
                times[name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int RunWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios) {
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-44s %10s %8s %s\n", "ratio (peer time / our time)", "value", "goal", "");
    for (const BenchRatio& r : ratios) {
        auto a = reporter.times.find(r.ours), b = reporter.times.find(r.peer);
        if (a == reporter.times.end() || b == reporter.times.end())
            continue;
        const double v = b->second / a->second;
        std::printf("%-44s %10.2f %8.2f %s\n", r.label.c_str(), v, r.need,
                    v >= r.need ? "met" : "NOT MET");
    }
    benchmark::Shutdown();
    return 0;
}

int RunInterleavedWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios) {
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    return RunWithRatios(static_cast<int>(args.size()), args.data(), ratios);
}
