// Restarts the client program in the user's session once its running instance has ended. Each pending
// restart waits on a thread of its own; the restarter owns the threads, wakes them on stop and joins them.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ProcessHandle.h"

namespace process {

class ClientRestarter {
public:
    // How long a restart waits for the running client to end.
    static constexpr std::chrono::milliseconds kWaitLimit{600000};

    explicit ClientRestarter(std::chrono::milliseconds waitLimit = kWaitLimit);
    ~ClientRestarter();  // stop()
    ClientRestarter(const ClientRestarter&) = delete;
    ClientRestarter& operator=(const ClientRestarter&) = delete;

    // Starts path once client (empty when none was found) has ended; returns at once. A restart of a
    // path that is pending already, or one after stop, is warned about and ignored.
    void restart(platform::ProcessHandle client, const std::string& path);

    // Abandons the waiting restarts (nothing more is started) and joins every restart thread.
    void stop();

private:
    struct Restart {
        std::thread thread;
        bool finished = false;
    };

    void waitAndRelaunch(const platform::ProcessHandle& client, const std::string& path);
    void joinFinishedLocked();

    const int m_nWaitLimitMs;
    const int m_wakeFd;  // an eventfd: readable once stop was asked for
    std::mutex m_mutex;  // guards the members below
    std::map<std::string, Restart> m_restarts;
    bool m_bStopped = false;
};

}  // namespace process
