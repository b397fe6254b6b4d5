// Where the running executable lives.
#pragma once

#include <string>

namespace platform {

// The full path of the running executable (/proc/self/exe), of any length. Throws std::system_error
// when /proc cannot tell.
std::string ModulePath();

// The folder of ModulePath without a trailing separator.
std::string ModuleDir();

}  // namespace platform
