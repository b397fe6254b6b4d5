#include "platform/PlatformRoot.h"

#include <cstdlib>

namespace platform {

std::string PlatformRoot() {
    const char* root = std::getenv("TESK_PLATFORM_ROOT");
    return root && *root ? root : "/var/lib/tesk";
}

}  // namespace platform
