// An exclusive lock on a lock file, held for the object's lifetime (flock: it also excludes other
// threads of this process that open the file themselves).
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace detail {

class CFileLock {
public:
    // Creates the file when needed; blocks until the lock is free.
    explicit CFileLock(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_nError = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_nError = errno;
                break;
            }
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
    int m_fd = -1;
    int m_nError = 0;
};

}  // namespace detail
}  // namespace platform
