#include "platform/ProcessHandle.h"

#include <cerrno>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace platform {

ProcessHandle::~ProcessHandle() {
    if (m_fd >= 0)
        ::close(m_fd);
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_nPid(std::exchange(other.m_nPid, 0)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_nPid = std::exchange(other.m_nPid, 0);
    }
    return *this;
}

ProcessHandle ProcessHandle::Open(int processId) {
    ProcessHandle handle;
    if (processId <= 0) {
        errno = ESRCH;
        return handle;
    }
    // Through syscall: Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage. A pidfd is
    // close-on-exec from birth.
    handle.m_fd = static_cast<int>(::syscall(SYS_pidfd_open, processId, 0));
    if (handle.m_fd >= 0)
        handle.m_nPid = processId;
    return handle;
}

bool ProcessHandle::IsRunning() const {
    return m_fd >= 0 && WaitForExit(0) == ETIMEDOUT;
}

int ProcessHandle::Signal(int signal) const {
    if (m_fd < 0)
        return EBADF;
    return ::syscall(SYS_pidfd_send_signal, m_fd, signal, nullptr, 0) == 0 ? 0 : errno;
}

int ProcessHandle::WaitForExit(int timeoutMs, int wakeFd) const {
    if (m_fd < 0)
        return EBADF;
    pollfd watch[2] = {{m_fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int ready;
    while ((ready = ::poll(watch, wakeFd >= 0 ? 2 : 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (ready < 0)
        return errno;
    if (watch[0].revents)
        return 0;
    return ready == 0 ? ETIMEDOUT : ECANCELED;
}

}  // namespace platform
