#include "AppProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

AppProcess::~AppProcess() {
    if (m_Pid > 0) {
        kill(m_Pid, SIGKILL);
        waitpid(m_Pid, nullptr, 0);
    }
    if (m_OutFd >= 0)
        close(m_OutFd);
    if (m_ErrFd >= 0)
        close(m_ErrFd);
}

bool AppProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&m_Pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_OutFd = out[0];
    m_ErrFd = err[0];
    if (spawned != 0)
        m_Pid = -1;
    return spawned == 0;
}

bool AppProcess::Pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{m_OutFd, POLLIN, 0}, {m_ErrFd, POLLIN, 0}};
    if (m_OutFd < 0 && m_ErrFd < 0)
        return false;
    if (poll(fds, 2, static_cast<int>(wait.count())) <= 0)
        return true;
    int* fdOf[2] = {&m_OutFd, &m_ErrFd};
    std::string* textOf[2] = {&m_Out, &m_Err};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(*fdOf[i], buffer, sizeof buffer);
        if (n > 0) {
            textOf[i]->append(buffer, static_cast<std::size_t>(n));
        } else {
            close(*fdOf[i]);
            *fdOf[i] = -1;
        }
    }
    return true;
}

bool AppProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (m_Out.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= end || !Pump(std::chrono::milliseconds(50)))
            return m_Out.find(text) != std::string::npos;
    }
    return true;
}

int AppProcess::Finish(std::chrono::milliseconds timeout) {
    if (m_Pid <= 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end && Pump(std::chrono::milliseconds(50))) {
    }
    int status = 0;
    pid_t done = waitpid(m_Pid, &status, WNOHANG);
    while (done == 0 && std::chrono::steady_clock::now() < end) {
        usleep(20000);
        done = waitpid(m_Pid, &status, WNOHANG);
    }
    if (done == 0) {
        kill(m_Pid, SIGKILL);
        waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return -1;
    }
    m_Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunApp(AppProcess& process, const std::vector<std::string>& arguments) {
    if (!process.Start(ORVANE_APP_PATH, arguments))
        return -1;
    return process.Finish();
}
