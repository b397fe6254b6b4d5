// SIGTERM and SIGINT as stop requests.
#pragma once

#include <functional>
#include <thread>

namespace platform {

// Restores the default disposition of SIGTERM and SIGINT (a parent may have ignored them, which would
// discard them) and blocks both in the calling thread. Call it first thing in main, before any thread
// starts: every later thread inherits the mask, so the signals stay pending until a CStopSignalWatcher
// takes them, however early they arrive.
void BlockStopSignals();

// Takes SIGTERM and SIGINT from the process's pending signals on a thread of its own and calls onStop
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
