#include "platform/Resources.h"

namespace platform {

std::string LoadString(unsigned id) {
    for (std::size_t i = 0; i < g_moduleResources.stringCount; ++i)
        if (g_moduleResources.strings[i].id == id)
            return g_moduleResources.strings[i].text;
    return std::string();
}

bool GetFileVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build, std::uint16_t& revision) {
    const FileVersion& version = g_moduleResources.version;
    if (!version.present)
        return false;
    major = version.major;
    minor = version.minor;
    build = version.build;
    revision = version.revision;
    return true;
}

}  // namespace platform
