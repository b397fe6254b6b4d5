#include "process/ProcessFinder.h"

#include <utility>
#include <vector>

#include "platform/Processes.h"

namespace {

const char* const kFallbackModuleName = "adl.exe";

}  // namespace

platform::ProcessHandle findProcessByModuleName(const std::string& moduleName) {
    std::vector<platform::ProcessHandle> found = platform::OpenProcessesByName(moduleName);
    if (!found.empty())
        return std::move(found.front());
    found = platform::OpenProcessesByName(kFallbackModuleName);
    if (!found.empty())
        return std::move(found.back());
    return platform::ProcessHandle();
}

std::string moduleNameOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}
