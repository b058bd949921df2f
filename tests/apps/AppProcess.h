// Runs the orvane program as a user would, in a child process: its output is read
// while it runs, so that a test can wait for a line before it acts.
#ifndef ORVANE_TESTS_APPPROCESS_H
#define ORVANE_TESTS_APPPROCESS_H

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class AppProcess {
public:
    AppProcess() = default;
    // Kills a child that is still running.
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts `program` with the arguments. False when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& arguments);
    // Reads output until standard output holds `text` (true) or `timeout` passes.
    bool WaitForOutput(const std::string& text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Reads the rest of the output and waits for the exit. Returns the exit status, or
    // -1 when the child was killed by a signal or did not end within `timeout` (it is
    // killed then).
    int Finish(std::chrono::milliseconds timeout = std::chrono::seconds(120));

    const std::string& Out() const { return m_Out; }
    const std::string& Err() const { return m_Err; }
    pid_t Pid() const { return m_Pid; }

private:
    // Reads what is there within `wait`; false once both pipes are closed.
    bool Pump(std::chrono::milliseconds wait);

    pid_t m_Pid = -1;
    int m_OutFd = -1;
    int m_ErrFd = -1;
    std::string m_Out;
    std::string m_Err;
};

// Runs the program to its end: the exit status, with both outputs in `process`.
int RunApp(AppProcess& process, const std::vector<std::string>& arguments);

#endif
