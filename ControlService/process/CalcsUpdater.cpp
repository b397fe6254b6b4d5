#include "process/CalcsUpdater.h"

#include <mutex>
#include <string>
#include <vector>

#include "Logging/Log.h"
#include "platform/Processes.h"
#include "service/ModuleInfo.h"

namespace {

std::mutex g_launchMutex;

}  // namespace

void launchCalcsUpdater(bool force) {
    const std::string fileName = LoadResourceString(105);
    const std::string program = g_strModuleDir + "/" + fileName;
    const std::string executable = "\"" + program + "\"";
    LOG_SEV(info) << executable << " " << executable << (force ? " force" : "");
    std::lock_guard<std::mutex> lock(g_launchMutex);
    if (!platform::FindProcessesByName(fileName).empty()) {
        LOG_SEV(warning) << fileName << " process already has been launched, skip it this time";
        return;
    }
    const std::vector<std::string> args = force ? std::vector<std::string>{"force"} : std::vector<std::string>{};
    int processId = 0;
    if (int error = platform::SpawnDetached(program, args, g_strModuleDir, processId))
        LOG_SEV(error) << "error, can't launch calcs service autoupdater !" << static_cast<unsigned>(error);
    else
        // At error, unlike the service's own launcher: as it has always been logged.
        LOG_SEV(error) << "calcs service autoupdater process created";
}
