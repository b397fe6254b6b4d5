#include "service/AutoUpdater.h"

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

void launchAutoUpdater(bool force) {
    const std::string fileName = LoadResourceString(104);
    const std::string program = g_strModuleDir + "/" + fileName;
    LOG_SEV(info) << "\"" << program << "\"" << (force ? " force" : "");
    bool alreadyRunning = false;
    {
        std::lock_guard<std::mutex> lock(g_launchMutex);
        alreadyRunning = isProcessRunning();
        if (!alreadyRunning) {
            const std::vector<std::string> args = force ? std::vector<std::string>{"force"} : std::vector<std::string>{};
            int processId = 0;
            const int error = platform::SpawnDetached(program, args, g_strModuleDir, processId);
            if (!error)
                LOG_SEV(info) << "autoupdater process created";
            else if (g_serviceValues.logsLaunchErrorCode)
                LOG_SEV(error) << "error, can't launch autoupdater ! " << static_cast<unsigned>(error);
            else
                LOG_SEV(error) << "error, can't launch autoupdater !";
        }
    }
    if (alreadyRunning) {
        LOG_SEV(warning) << fileName << " process already has been launched, skip it this time";
        boost::this_thread::sleep_for(kAlreadyRunningPause);
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
