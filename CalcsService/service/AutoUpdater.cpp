#include "service/AutoUpdater.h"

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>

#include "Logging/Log.h"
#include "platform/Processes.h"
#include "service/ModuleInfo.h"
#include "service/ServiceValues.h"

namespace {

const boost::chrono::seconds kAlreadyRunningPause(5);

std::mutex g_launchMutex;

}  // namespace

int startUpdaterUnlessRunning(const std::string& fileName, bool force) {
    std::lock_guard<std::mutex> lock(g_launchMutex);
    if (!platform::FindProcessesByName(fileName).empty())
        return EALREADY;
    const std::vector<std::string> args = force ? std::vector<std::string>{"force"} : std::vector<std::string>{};
    int processId = 0;
    return platform::SpawnDetached(g_strModuleDir + "/" + fileName, args, g_strModuleDir, processId);
}

void launchAutoUpdater(bool force) {
    const std::string fileName = LoadResourceString(104);
    LOG_SEV(info) << "\"" << g_strModuleDir << "/" << fileName << "\"" << (force ? " force" : "");
    const int result = startUpdaterUnlessRunning(fileName, force);
    if (result == 0) {
        LOG_SEV(info) << "autoupdater process created";
    } else if (result == EALREADY) {
        LOG_SEV(warning) << fileName << " process already has been launched, skip it this time";
        boost::this_thread::sleep_for(kAlreadyRunningPause);
    } else if (g_serviceValues.logsLaunchErrorCode) {
        LOG_SEV(error) << "error, can't launch autoupdater ! " << static_cast<unsigned>(result);
    } else {
        LOG_SEV(error) << "error, can't launch autoupdater !";
    }
}

bool isProcessRunning() {
    return !platform::FindProcessesByName(LoadResourceString(104)).empty();
}

void startAutoUpdate(bool force) {
    launchAutoUpdater(force);
}

bool autoUpdateStep() {
    launchAutoUpdater(false);
    return false;
}
