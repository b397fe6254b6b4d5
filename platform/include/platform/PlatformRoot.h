// The one folder that holds the platform layer's state (registry, service records).
#pragma once

#include <string>

namespace platform {

// $TESK_PLATFORM_ROOT when set and not empty, else /var/lib/tesk; always an absolute path. Read on
// every call, so a test can point a process at its own folder before it touches anything. A relative
// value is resolved against the current folder and written back into the environment, so that
// programs started later (a service runs in "/") find the same folder. That write is not thread-safe:
// a program makes its first call before it starts any thread (the service module does, in Start).
std::string PlatformRoot();

// Creates the root when it is missing and checks that it can be written: 0 or the errno that says why
// not.
int CheckPlatformRootWritable();

}  // namespace platform
