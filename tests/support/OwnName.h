// Names unique to this test process, for what programs elsewhere on the machine could also be called:
// another run of the suite must not find this run's processes, nor this run find theirs.
#pragma once

#include <string>
#include <unistd.h>

namespace testsupport {

// "<stem>-<pid><extension>", e.g. "updater-4242.exe".
inline std::string ownName(const std::string& stem, const std::string& extension = "") {
    return stem + "-" + std::to_string(::getpid()) + extension;
}

}  // namespace testsupport
