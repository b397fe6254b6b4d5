#include "tasks/CheckRegistryTask.h"

#include "Logging/Log.h"
#include "platform/Registry.h"

namespace tasks {

const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TESK";

void CheckRegistryTask::execute() {
    deleteRegistryKey(kUninstallKey);
}

void deleteRegistryKey(const std::string& key) {
    if (platform::RegDeleteKey(platform::RegistryHive::LocalMachine, key) == 0)
        LOG_SEV(info) << "found TESK instance in registry and removed it";
}

}  // namespace tasks
