// SIGTERM, SIGINT, SIGHUP and SIGQUIT as stop requests; SIGPIPE ignored.
#pragma once

#include <functional>
#include <thread>

namespace platform {

// Ignores SIGPIPE (a write to a closed pipe or socket then fails with EPIPE instead of ending the
// process), restores the default disposition of the stop signals (a parent may have ignored them, which
// would discard them) and blocks them in the calling thread. Call it first thing in main, before any
// thread starts: every later thread inherits the mask, so the stop signals stay pending until a
// CStopSignalWatcher takes them, however early they arrive.
void SetUpProcessSignals();

// Takes the stop signals from the process's pending signals on a thread of its own and calls onStop
// for each. The destructor stops and joins that thread.
class CStopSignalWatcher {
public:
    explicit CStopSignalWatcher(std::function<void()> onStop);
    ~CStopSignalWatcher();
    CStopSignalWatcher(const CStopSignalWatcher&) = delete;
    CStopSignalWatcher& operator=(const CStopSignalWatcher&) = delete;

private:
    void Watch();

    std::function<void()> m_onStop;
    int m_nSignalFd;
    int m_nWakeFd;
    std::thread m_thread;
};

}  // namespace platform
