// The test web server (tests/support/qr_http_server.py) in a child process, and a
// temporary folder for what it serves.
#ifndef ORVANE_TESTS_QRTESTSERVER_H
#define ORVANE_TESTS_QRTESTSERVER_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "QrHttp.h"

extern char** environ;

// A fresh folder under $TMPDIR (else /tmp), removed with everything in it.
class QrTempDir {
public:
    QrTempDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/qrhttpXXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            m_strPath = pattern;
    }
    ~QrTempDir() {
        std::error_code ignored;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ignored);
    }
    QrTempDir(const QrTempDir&) = delete;
    QrTempDir& operator=(const QrTempDir&) = delete;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

// Starts the server on `root` (over HTTPS with a certificate made in `tlsDir` when
// one is given) and stops it when destroyed. The server also ends by itself when
// this process dies: its standard input is a pipe from here.
class QrTestServer {
public:
    explicit QrTestServer(const std::string& root, const std::string& tlsDir = "")
        : m_strScheme(tlsDir.empty() ? "http" : "https") {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0)
            return;
        if (pipe2(out, O_CLOEXEC) != 0) {
            close(in[0]);
            close(in[1]);
            return;
        }
        std::vector<std::string> args = {"python3", ORVANE_TEST_SUPPORT_DIR "/qr_http_server.py",
                                         "--root", root};
        if (!tlsDir.empty())
            args.insert(args.end(), {"--tls", tlsDir});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawnp(&m_Pid, "python3", &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_nStdin = in[1];
        if (m_Pid > 0)
            m_nPort = ReadPort(out[0]);
        close(out[0]);
    }

    ~QrTestServer() {
        if (m_nStdin >= 0)
            close(m_nStdin);
        if (m_Pid > 0) {
            kill(m_Pid, SIGTERM);
            waitpid(m_Pid, nullptr, 0);
        }
    }
    QrTestServer(const QrTestServer&) = delete;
    QrTestServer& operator=(const QrTestServer&) = delete;

    bool IsRunning() const { return m_nPort > 0; }
    std::string Url(const std::string& path) const {
        return m_strScheme + "://127.0.0.1:" + std::to_string(m_nPort) + "/" + path;
    }
    // A number of /_stats ("connections" or "stalling"), -1 when it cannot be had.
    // Asked on a connection of its own, which the server does not count.
    int Stat(const std::string& key, const std::string& caFile = "") const {
        CQrHttpSettings settings;
        settings.m_strCaFile = caFile;
        CQrHttpStreamCreator creator(settings);
        CQrReadStream* stream = creator.CreateStream(Url("_stats").c_str());
        if (stream == nullptr)
            return -1;
        const std::string text(reinterpret_cast<const char*>(stream->GetMemory()),
                               static_cast<std::size_t>(stream->GetSize()));
        creator.FreeStream(stream);
        const std::size_t at = text.find(key + "=");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + key.size() + 1);
    }

private:
    static int ReadPort(int fd) {
        std::string line;
        char c = 0;
        pollfd p{fd, POLLIN, 0};
        // Making a certificate takes a moment; a server that says nothing for long
        // has failed.
        while (poll(&p, 1, 20000) == 1 && read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return c == '\n' ? std::atoi(line.c_str()) : 0;
    }

    std::string m_strScheme;
    pid_t m_Pid = -1;
    int m_nStdin = -1;
    int m_nPort = 0;
};

#endif
