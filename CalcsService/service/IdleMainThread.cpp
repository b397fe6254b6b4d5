#include "service/IdleMainThread.h"

#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_stopped;
bool g_bStop = false;

}  // namespace

void idleMainThreadFunc() {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_stopped.wait(lock, [] { return g_bStop; });
}

void idleStop() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_bStop = true;
    }
    g_stopped.notify_all();
}
