// The one folder that holds the platform layer's state (registry, service records).
#pragma once

#include <string>

namespace platform {

// $TESK_PLATFORM_ROOT when set and not empty, else /var/lib/tesk. Read on every call, so a test can
// point a process at its own folder before it touches anything.
std::string PlatformRoot();

}  // namespace platform
