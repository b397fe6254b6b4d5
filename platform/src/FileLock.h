// An exclusive lock on a lock file, held for the object's lifetime (flock: it also excludes other
// threads of this process that open the file themselves).
#pragma once

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace detail {

// Every holder keeps a lock for a few file operations; one that is still taken after this long is
// held by something stuck, and waiting on would hang the caller with it.
constexpr std::chrono::milliseconds kLockWaitLimit = std::chrono::seconds(10);

class CFileLock {
public:
    // Creates the file when needed (a link in its place is not followed); waits for the lock at most
    // limit, then fails with ETIMEDOUT.
    explicit CFileLock(const std::string& path, std::chrono::milliseconds limit = kLockWaitLimit) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_nError = errno;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_nError = errno;
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                m_nError = ETIMEDOUT;
                return;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    ~CFileLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // 0 when the lock is held, else the errno of the failing step.
    int Error() const { return m_nError; }

private:
    static constexpr std::chrono::milliseconds kPollInterval{5};

    int m_fd = -1;
    int m_nError = 0;
};

}  // namespace detail
}  // namespace platform
