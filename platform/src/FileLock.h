// An exclusive lock on a lock file, held for the object's lifetime (flock: it also excludes other
// threads of this process that open the file themselves).
#pragma once

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

#include "BeneathRoot.h"

namespace platform {
namespace detail {

// Every holder keeps a lock for a few file operations; one that is still taken after this long is
// held by something stuck, and waiting on would hang the caller with it.
constexpr std::chrono::milliseconds kLockWaitLimit = std::chrono::seconds(10);

// Only the owner may open a lock file: anyone who can open it can hold its lock.
constexpr mode_t kLockFileMode = 0600;

class CFileLock {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Creates the file name in the folder held by folder when needed (a link in its place is not
    // followed), with mode 0600, and gives an existing one that mode; waits for the lock at most limit
    // as measured by now, then fails with ETIMEDOUT.
    CFileLock(int folder, const std::string& name, std::chrono::milliseconds limit = kLockWaitLimit,
              const Clock& now = std::chrono::steady_clock::now) {
        m_nError = OpenBeneath(folder, name, O_RDWR | O_CREAT | O_NONBLOCK, m_fd, kLockFileMode);
        if (m_nError)
            return;
        struct stat info {};
        if (::fstat(m_fd.Get(), &info) != 0) {
            m_nError = errno;
            return;
        }
        if (!S_ISREG(info.st_mode)) {
            m_nError = EINVAL;
            return;
        }
        if ((info.st_mode & 07777) != kLockFileMode && ::fchmod(m_fd.Get(), kLockFileMode) != 0) {
            m_nError = errno;
            return;
        }
        const auto deadline = now() + limit;
        while (::flock(m_fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_nError = errno;
                return;
            }
            if (now() >= deadline) {
                m_nError = ETIMEDOUT;
                return;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // 0 when the lock is held, else the errno of the failing step.
    int Error() const { return m_nError; }

private:
    static constexpr std::chrono::milliseconds kPollInterval{5};

    CDescriptor m_fd;
    int m_nError = 0;
};

}  // namespace detail
}  // namespace platform
