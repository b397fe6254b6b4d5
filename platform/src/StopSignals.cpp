#include "platform/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

// A terminal hang-up and Ctrl-\ end a service as cleanly as SIGTERM and Ctrl-C do.
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals)
        sigaddset(&set, signal);
    return set;
}

}  // namespace

void SetUpProcessSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    for (int signal : kStopSignals)
        std::signal(signal, SIG_DFL);
    const sigset_t set = StopSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

CStopSignalWatcher::CStopSignalWatcher(std::function<void()> onStop) : m_onStop(std::move(onStop)) {
    const sigset_t set = StopSignalSet();
    m_nSignalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    if (m_nSignalFd < 0)
        throw std::system_error(errno, std::generic_category(), "signalfd");
    m_nWakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_nWakeFd < 0) {
        const int error = errno;
        ::close(m_nSignalFd);
        throw std::system_error(error, std::generic_category(), "eventfd");
    }
    m_thread = std::thread(&CStopSignalWatcher::Watch, this);
}

CStopSignalWatcher::~CStopSignalWatcher() {
    const std::uint64_t one = 1;
    while (::write(m_nWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_thread.join();
    ::close(m_nWakeFd);
    ::close(m_nSignalFd);
}

void CStopSignalWatcher::Watch() {
    pollfd watched[2] = {{m_nSignalFd, POLLIN, 0}, {m_nWakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents)
            return;
        signalfd_siginfo info;
        if (watched[0].revents && ::read(m_nSignalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            m_onStop();
    }
}

}  // namespace platform
