#include "process/CalcsUpdater.h"

#include <cerrno>
#include <string>

#include "Logging/Log.h"
#include "service/AutoUpdater.h"
#include "service/ModuleInfo.h"

void launchCalcsUpdater(bool force) {
    const std::string fileName = LoadResourceString(105);
    const std::string executable = "\"" + g_strModuleDir + "/" + fileName + "\"";
    LOG_SEV(info) << executable << " " << executable << (force ? " force" : "");
    const int result = startUpdaterUnlessRunning(fileName, force);
    if (result == EALREADY)
        LOG_SEV(warning) << fileName << " process already has been launched, skip it this time";
    else if (result)
        LOG_SEV(error) << "error, can't launch calcs service autoupdater !" << static_cast<unsigned>(result);
    else
        // At error, unlike the service's own launcher: as it has always been logged.
        LOG_SEV(error) << "calcs service autoupdater process created";
}
