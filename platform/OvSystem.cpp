// The clock, MulDiv, temporary files, thread priority and memory hints.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "OvPlatform.h"
#include "platform/OvMemoryHint.h"
#include "platform/OvThreadPriority.h"
#include "platform/OvTimerClock.h"

// Always the monotonic clock, on every thread: the loading threads and the client's
// thread must agree on it, whatever clock a thread's timers run by.
std::uint32_t GetTickCount() {
    return OvTickCountOf(std::chrono::steady_clock::now());
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(number) * numerator;
    const long long divisor = denominator;
    long long quotient = product / divisor;
    const long long rest = product % divisor;
    // Round half away from zero: compare twice the rest with the divisor, in magnitude.
    if (rest != 0 && 2 * std::llabs(rest) >= std::llabs(divisor)) {
        quotient += ((product < 0) != (divisor < 0)) ? -1 : 1;
    }
    if (quotient > INT_MAX || quotient < INT_MIN) {
        return -1;
    }
    return static_cast<int>(quotient);
}

// ---------------------------------------------------------------------------
// Temporary files
// ---------------------------------------------------------------------------

std::string OvGetTempDir() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env && *env) ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

int OvCreateTempFile(const char* prefix, const char* suffix, std::string& path) {
    path.clear();
    const std::string pre = prefix ? prefix : "";
    const std::string post = suffix ? suffix : "";
    if (pre.find('/') != std::string::npos || post.find('/') != std::string::npos ||
        pre.size() + post.size() > NAME_MAX - 6) {
        return OV_WND_E_ARGUMENT;
    }
    std::string name = OvGetTempDir();
    if (name != "/") {
        name += '/';
    }
    name += pre + "XXXXXX" + post;
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    // mkostemps opens with O_CREAT | O_EXCL, which neither follows nor replaces anything
    // that exists under the name, dangling links included, and retries on a clash.
    const int fd = mkostemps(buffer.data(), static_cast<int>(post.size()), O_CLOEXEC);
    if (fd < 0) {
        return OV_E_FILE;
    }
    // The mode is 0600 whatever the umask says.
    const bool modeSet = fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    close(fd);
    if (!modeSet) {
        unlink(buffer.data());
        return OV_E_FILE;
    }
    path = buffer.data();
    return 0;
}

void OvLowerCurrentThreadPriority(int steps) {
    // Linux keeps a nice value per thread, and raising it needs no privilege.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, tid);
    (void)setpriority(PRIO_PROCESS, tid, current + steps);
}

void OvPrefaultForWrite(void* memory, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
    constexpr int kPopulateWrite = 23;  // Linux 5.14 on; older kernels refuse it
#endif
    if (memory == nullptr)
        return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + bytes) / page * page;
    if (end <= first)
        return;
    // A hint only: where the system refuses, the pages are faulted in as written.
    (void)madvise(reinterpret_cast<void*>(first), end - first, kPopulateWrite);
}
