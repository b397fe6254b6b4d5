// Restarts the client program in the user's session once its running instance has ended. Each pending
// restart waits on a thread of its own; the restarter owns the threads, wakes them on stop and joins them.
// The program is found by its file name, so one pending restart per name is all a client can ask for,
// and the pending restarts are capped: requests cannot take the service's threads and descriptors.
#pragma once

#include <chrono>
#include <cstddef>
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
    // How many restarts, each of another program name, may wait at once.
    static constexpr std::size_t kMaxPending = 16;

    explicit ClientRestarter(std::chrono::milliseconds waitLimit = kWaitLimit);
    ~ClientRestarter();  // stop()
    ClientRestarter(const ClientRestarter&) = delete;
    ClientRestarter& operator=(const ClientRestarter&) = delete;

    // Starts path once client (empty when none was found) has ended; returns at once. A restart of a
    // program name (moduleNameOf) that is pending already, one beyond kMaxPending, or one after stop, is
    // warned about and ignored.
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
    std::map<std::string, Restart> m_restarts;  // by program name
    bool m_bStopped = false;
};

}  // namespace process
