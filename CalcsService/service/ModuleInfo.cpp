#include "service/ModuleInfo.h"

#include "platform/Resources.h"

std::string g_strModuleDir;

std::string LoadResourceString(unsigned id) {
    return platform::LoadString(id);
}

bool GetModuleVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build, std::uint16_t& revision) {
    return platform::GetFileVersion(major, minor, build, revision);
}

std::string GetVersionString() {
    std::uint16_t major = 0, minor = 0, build = 0, revision = 0;
    GetModuleVersion(major, minor, build, revision);
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + "." +
           std::to_string(revision);
}
