// Test helper: the control service's values with an updater name of the test process's own, so that
// no updater of the real name, nor another run's, is taken for it.
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <string>

#include "platform/Resources.h"
#include "service/ServerStartup.h"
#include "service/ServiceValues.h"
#include "support/OwnName.h"

namespace {

const std::string g_calcsUpdater = testsupport::ownName("tesk_test_calcs_updater", ".exe");
const platform::StringResource kStrings[] = {{100, "TeskCtrlSvc"}, {105, g_calcsUpdater.c_str()}};

std::mutex g_mutex;
std::condition_variable g_stopped;
bool g_bStop = false;

// The service's main thread: these tests run no server, so it is ready at once and only waits for the
// stop (also one that came first).
void idleMainThreadFunc(ServerStartup& startup) {
    startup.listening();
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

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 3, 2, 3, 0}};

const ServiceValues g_serviceValues = {
    "CTeskCtrlSvcModule", "{2021B473-FEAF-490D-A031-BD345BBD6051}", "/Logs/TeskCtrlSvc%Y-%b-%d.log",
    idleMainThreadFunc,   idleStop,                                 false,
    false,
};
