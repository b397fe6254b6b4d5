#include "platform/PlatformRoot.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

const char* const kVariable = "TESK_PLATFORM_ROOT";

}  // namespace

std::string PlatformRoot() {
    const char* root = std::getenv(kVariable);
    if (!root || !*root)
        return "/var/lib/tesk";
    if (root[0] == '/')
        return root;
    std::error_code ec;
    const fs::path absolute = fs::absolute(root, ec).lexically_normal();
    if (ec)
        return root;
    ::setenv(kVariable, absolute.c_str(), 1);
    return absolute.string();
}

int CheckPlatformRootWritable() {
    const std::string root = PlatformRoot();
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec)
        return ec.value();
    return ::access(root.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

}  // namespace platform
