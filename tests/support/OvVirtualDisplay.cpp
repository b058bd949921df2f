// Starting and stopping Xvfb for the window tests.
#include "OvVirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "OvPlatform.h"
#include "platform/OvX11Probe.h"

extern char** environ;

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_Fd(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_Fd; }
    void Reset() {
        if (m_Fd >= 0) {
            close(m_Fd);
        }
        m_Fd = -1;
    }

private:
    int m_Fd;
};

// Reads the display number Xvfb writes to -displayfd (digits and a newline).
bool ReadDisplayNumber(int fd, std::string& number, std::string& error) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = "Xvfb did not report a display within 20 s";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = "Xvfb ended before reporting a display (is the package xvfb installed?)";
            return false;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                return !number.empty();
            }
            number += buffer[i];
        }
    }
}

}  // namespace

OvVirtualDisplay::OvVirtualDisplay(int width, int height, int depth) {
    Start(width, height, depth);
}

OvVirtualDisplay::~OvVirtualDisplay() {
    Stop();
}

void OvVirtualDisplay::Start(int width, int height, int depth) {
    int fds[2];
    // Only the write end reaches the server; the read end closes on exec.
    if (pipe(fds) != 0) {
        m_strError = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);
    fcntl(readEnd.Get(), F_SETFD, FD_CLOEXEC);

    const std::string fdText = std::to_string(writeEnd.Get());
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    // -terminate: the server ends when its last client disconnects, so that a test that
    // crashes leaves no server behind (see the header).
    std::vector<std::string> args = {"Xvfb", "-displayfd", fdText, "-screen",   "0",
                                     screen, "-nolisten",  "tcp",  "-terminate"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The server's chatter would bury the test output.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (spawned != 0) {
        m_strError = std::string("cannot start Xvfb: ") + std::strerror(spawned) +
                     " (install the package xvfb: scripts/deps.sh)";
        return;
    }
    m_Pid = pid;

    std::string number;
    if (!ReadDisplayNumber(readEnd.Get(), number, m_strError)) {
        Stop();
        return;
    }
    m_strName = ":" + number;
    const char* old = std::getenv("DISPLAY");
    m_bHadDisplay = old != nullptr;
    m_strOldDisplay = old ? old : "";
    setenv("DISPLAY", m_strName.c_str(), 1);
}

void OvVirtualDisplay::Stop() {
    if (m_Pid <= 0) {
        return;
    }
    kill(m_Pid, SIGTERM);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (waitpid(m_Pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= end) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_Pid = -1;
    if (!m_strName.empty()) {
        if (m_bHadDisplay) {
            setenv("DISPLAY", m_strOldDisplay.c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
    }
}

// ---------------------------------------------------------------------------
// Pixel checks on the display
// ---------------------------------------------------------------------------

namespace {

// Reads the window's pixels until `settled` accepts them (or time is up) and checks the
// last ones read.
::testing::AssertionResult ReadAndCheck(
    COvX11Probe& probe, const COvSdlWindow& window,
    const std::function<bool(const OvPixels&)>& settled,
    const std::function<::testing::AssertionResult(const OvPixels&)>& check) {
    const COvSize size = window.GetClientSize();
    std::vector<CPxRGB> shown;
    const OvPixels pixels{size.width, size.height, [&shown, &size](int x, int y) {
                              return shown[static_cast<std::size_t>(y) * size.width + x];
                          }};
    OvPumpUntil([&] {
        return probe.ReadPixels(window.GetNativeWindow(), 0, 0, size.width, size.height, shown) ==
                   0 &&
               settled(pixels);
    });
    if (shown.size() != static_cast<std::size_t>(size.width) * size.height) {
        return ::testing::AssertionFailure() << "cannot read the window from the display";
    }
    return check(pixels);
}

}  // namespace

::testing::AssertionResult OvDisplayShows(COvX11Probe& probe, const COvSdlWindow& window,
                                          const std::vector<OvPixelCheck>& checks, int tolerance) {
    return ReadAndCheck(
        probe, window, [&](const OvPixels& p) { return OvPixelsMatch(p, checks, tolerance); },
        [&](const OvPixels& p) { return OvPixelsAre(p, checks, tolerance); });
}

::testing::AssertionResult OvDisplayShowsPicture(
    COvX11Probe& probe, const COvSdlWindow& window,
    const std::function<CPxRGB(int x, int y)>& expected, int tolerance) {
    return ReadAndCheck(
        probe, window, [&](const OvPixels& p) { return OvPictureMatches(p, expected, tolerance); },
        [&](const OvPixels& p) { return OvPictureIs(p, expected, tolerance); });
}
