// Finds the running client program by its executable's file name.
#pragma once

#include <string>

#include "platform/ProcessHandle.h"

// The first running process whose executable's file name is moduleName (case-sensitive); when there is
// none, the last "adl.exe" process (the client's launcher); else an empty handle.
platform::ProcessHandle findProcessByModuleName(const std::string& moduleName);

// The executable's file name in path: the part behind its last '/' or '\\', the whole path without either.
std::string moduleNameOf(const std::string& path);
