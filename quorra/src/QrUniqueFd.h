// The owner of one open file descriptor, for the stream library and the imaging
// library's file writers alike (header only: the imaging library already builds on
// this one).
#ifndef QUORRA_QRUNIQUEFD_H
#define QUORRA_QRUNIQUEFD_H

#include <unistd.h>

class CQrUniqueFd {
public:
    // Takes over fd; a negative value owns nothing.
    explicit CQrUniqueFd(int fd = -1) noexcept : m_nFd(fd) {}
    ~CQrUniqueFd() { Close(); }
    CQrUniqueFd(CQrUniqueFd&& other) noexcept : m_nFd(other.Release()) {}
    CQrUniqueFd& operator=(CQrUniqueFd&& other) noexcept {
        if (this != &other) {
            Close();
            m_nFd = other.Release();
        }
        return *this;
    }
    CQrUniqueFd(const CQrUniqueFd&) = delete;
    CQrUniqueFd& operator=(const CQrUniqueFd&) = delete;

    // Returns the descriptor (negative when none is owned).
    int Get() const { return m_nFd; }
    bool IsOpen() const { return m_nFd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept {
        const int fd = m_nFd;
        m_nFd = -1;
        return fd;
    }
    // Closes the descriptor now. Returns false when the system reports a failure:
    // for a file written to, the data may not all have reached it.
    bool Close() noexcept {
        // NOTE: not retried on EINTR: on Linux the descriptor is gone either way.
        return m_nFd < 0 || ::close(Release()) == 0;
    }

private:
    int m_nFd;
};

#endif
