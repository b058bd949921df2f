// What the loading benchmarks share: the picture files, the bare libjpeg-turbo peer,
// two threads at the loading threads' priority, and the process's page faults and
// peak memory.
#ifndef ORVANE_BENCH_DATA_BENCHPICTURES_H
#define ORVANE_BENCH_DATA_BENCHPICTURES_H

#include <fcntl.h>
#include <jpeglib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "OvJpegSample.h"

namespace bench {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// What the image handler counts for one of these pictures.
constexpr long long kPictureBytes = 3LL * kWidth * kHeight + 64;

// The first `count` photo-like JPEG files of kWidth x kHeight, written once per run.
inline const std::vector<std::string>& Pictures(int count) {
    static std::vector<std::string> paths;
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/";
    while (static_cast<int>(paths.size()) < count) {
        const int i = static_cast<int>(paths.size());
        paths.push_back(dir + "ov_bench_data_" + std::to_string(i) + ".jpg");
        if (std::getenv("OV_BENCH_KEEP") != nullptr && access(paths.back().c_str(), R_OK) == 0)
            continue;
        if (!OvWriteFile(paths.back().c_str(), OvMakePhotoJpeg(kWidth, kHeight, i, 85)))
            std::fprintf(stderr, "cannot write %s\n", paths.back().c_str());
    }
    return paths;
}

// Decoded pixels without a zero-fill first: the decoder writes every byte.
struct Pixels {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
};

// The file read whole with one call into bytes (empty when it cannot be read).
inline void ReadFile(const std::string& path, std::vector<unsigned char>& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        if (::read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            bytes.clear();
    }
    ::close(fd);
}

// Decodes bytes in memory into the memory output(size) gives for the picture's size;
// stops when it gives none.
template <class Output>
inline void DecodeMemoryTo(const std::vector<unsigned char>& bytes, Output output) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&c);
    const std::size_t stride = static_cast<std::size_t>(c.output_width) * 3;
    unsigned char* pixels = output(stride * c.output_height);
    if (pixels != nullptr) {
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = pixels + static_cast<std::size_t>(c.output_scanline) * stride;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
    }
    jpeg_destroy_decompress(&c);
}

// Decodes bytes in memory into `pixels`, grown only when the size changes, so that a
// reused Pixels costs no allocation.
inline void DecodeMemory(const std::vector<unsigned char>& bytes, Pixels& pixels) {
    DecodeMemoryTo(bytes, [&](std::size_t size) {
        if (pixels.size != size) {
            pixels.data.reset(new unsigned char[size]);
            pixels.size = size;
        }
        return pixels.data.get();
    });
}

// The bare peer: the file read whole with one call, then decoded into `pixels`.
inline void DecodeBare(const std::string& path, Pixels& pixels) {
    thread_local std::vector<unsigned char> bytes;
    ReadFile(path, bytes);
    DecodeMemory(bytes, pixels);
}

// The same into a block of `capacity` bytes the caller owns (nothing when too small).
inline void DecodeBareInto(const std::string& path, unsigned char* block, std::size_t capacity) {
    thread_local std::vector<unsigned char> bytes;
    ReadFile(path, bytes);
    DecodeMemoryTo(bytes, [&](std::size_t size) { return size <= capacity ? block : nullptr; });
}

// Runs work on 2 threads at the loading threads' priority, so that the peers and the
// data layer meet on equal terms on a busy machine; returns the seconds taken.
template <class Work>
double OnTwoThreads(Work work) {
    const auto start = std::chrono::steady_clock::now();
    auto run = [&] {
        const auto tid = static_cast<id_t>(syscall(SYS_gettid));
        (void)setpriority(PRIO_PROCESS, tid, getpriority(PRIO_PROCESS, tid) + 5);
        work();
    };
    std::thread a(run), b(run);
    a.join();
    b.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Minor page faults of the whole process so far.
inline long long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// User and system CPU seconds of the whole process so far.
inline double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// System (kernel) CPU seconds of the whole process so far.
inline double ProcessSysSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"), -1 when not there.
inline long long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atoll(line.c_str() + prefix.size());
    }
    return -1;
}

// Starts a new peak of the resident set; false where the system cannot.
inline bool ResetPeakRss() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// Lowest, middle and highest of a set of samples.
struct Spread {
    double low = 0, mid = 0, high = 0;
};

inline Spread SpreadOf(std::vector<double> samples) {
    Spread s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.low = samples.front();
    s.mid = samples[samples.size() / 2];
    s.high = samples.back();
    return s;
}

}  // namespace bench

#endif
