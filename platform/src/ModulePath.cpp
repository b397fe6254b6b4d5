#include "platform/ModulePath.h"

#include <cerrno>
#include <system_error>

#include "ReadLink.h"

namespace platform {

std::string ModulePath() {
    std::string path;
    if (!detail::ReadLink("/proc/self/exe", path))
        throw std::system_error(errno, std::generic_category(), "readlink /proc/self/exe");
    return path;
}

std::string ModuleDir() {
    const std::string path = ModulePath();
    return path.substr(0, path.rfind('/'));
}

}  // namespace platform
