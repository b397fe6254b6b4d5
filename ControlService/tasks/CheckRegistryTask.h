// Removes the client's stale uninstall registration.
#pragma once

#include <string>

namespace tasks {

// The client's uninstall key under HKEY_LOCAL_MACHINE (the registry here has no 32-bit view).
extern const char* const kUninstallKey;

class CheckRegistryTask {
public:
    // One pass: deleteRegistryKey(kUninstallKey).
    void execute();
};

// Removes the key under HKEY_LOCAL_MACHINE when it has no subkeys; logs only a removal.
void deleteRegistryKey(const std::string& key);

}  // namespace tasks
