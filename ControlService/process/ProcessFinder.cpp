#include "process/ProcessFinder.h"

#include <algorithm>
#include <vector>

#include "platform/Processes.h"

namespace {

const char* const kFallbackModuleName = "adl.exe";

// Held by a pidfd and named so after opening it, so the pid was not reused in between.
platform::ProcessHandle openNamed(int processId, const std::string& name) {
    platform::ProcessHandle handle = platform::ProcessHandle::Open(processId);
    if (!handle)
        return handle;
    const std::vector<int> named = platform::FindProcessesByName(name);
    if (std::find(named.begin(), named.end(), processId) == named.end() || !handle.IsRunning())
        return platform::ProcessHandle();
    return handle;
}

}  // namespace

platform::ProcessHandle findProcessByModuleName(const std::string& moduleName) {
    for (const int pid : platform::FindProcessesByName(moduleName))
        if (platform::ProcessHandle handle = openNamed(pid, moduleName))
            return handle;
    std::vector<int> fallbacks = platform::FindProcessesByName(kFallbackModuleName);
    std::reverse(fallbacks.begin(), fallbacks.end());
    for (const int pid : fallbacks)
        if (platform::ProcessHandle handle = openNamed(pid, kFallbackModuleName))
            return handle;
    return platform::ProcessHandle();
}
