#include "process/ClientRestarter.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "process/ProcessFinder.h"
#include "process/UserSessionLauncher.h"

namespace process {

namespace {

int createWakeFd() {
    const int fd = ::eventfd(0, EFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    return fd;
}

}  // namespace

ClientRestarter::ClientRestarter(std::chrono::milliseconds waitLimit)
    : m_nWaitLimitMs(static_cast<int>(waitLimit.count())), m_wakeFd(createWakeFd()) {}

ClientRestarter::~ClientRestarter() {
    stop();
    ::close(m_wakeFd);
}

void ClientRestarter::restart(platform::ProcessHandle client, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    joinFinishedLocked();
    if (m_bStopped) {
        LOG_SEV(warning) << "the service is stopping, restart of " << path << " ignored";
        return;
    }
    const std::string name = moduleNameOf(path);
    if (m_restarts.count(name)) {
        LOG_SEV(warning) << "a restart of " << name << " is pending already, restart of " << path << " ignored";
        return;
    }
    if (m_restarts.size() >= kMaxPending) {
        LOG_SEV(warning) << kMaxPending << " restarts are pending already, restart of " << path << " ignored";
        return;
    }
    Restart& entry = m_restarts[name];
    entry.thread = std::thread([this, name, path, handle = std::move(client)] {
        try {
            waitAndRelaunch(handle, path);
        } catch (const std::exception& e) {
            LOG_SEV(error) << "exception in waitAndRelaunch, " << e.what();
        } catch (...) {
            LOG_SEV(error) << "exception in waitAndRelaunch";
        }
        std::lock_guard<std::mutex> finishedLock(m_mutex);
        const auto self = m_restarts.find(name);
        if (self != m_restarts.end())  // stop() has taken the entries to join them itself
            self->second.finished = true;
    });
}

void ClientRestarter::stop() {
    std::map<std::string, Restart> restarts;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bStopped) {
            m_bStopped = true;
            const std::uint64_t one = 1;
            while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
            }
        }
        restarts.swap(m_restarts);
    }
    // Joined outside the lock: a thread takes it to mark itself finished.
    for (auto& restart : restarts)
        restart.second.thread.join();
}

void ClientRestarter::waitAndRelaunch(const platform::ProcessHandle& client, const std::string& path) {
    if (client) {
        const int result = client.WaitForExit(m_nWaitLimitMs, m_wakeFd);
        if (result == ECANCELED)
            return;
        if (result != 0) {
            LOG_SEV(error) << "can't check tesk state";
            return;
        }
    }
    LOG_SEV(info) << "try to run:" << Logging::EscapeClientText(path);
    launchProcessInUserSession(path);
}

void ClientRestarter::joinFinishedLocked() {
    for (auto it = m_restarts.begin(); it != m_restarts.end();) {
        if (it->second.finished) {
            it->second.thread.join();
            it = m_restarts.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace process
