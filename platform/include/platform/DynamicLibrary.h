// Loading a shared object by its Windows module name, and looking up its symbols.
#pragma once

#include <string>

namespace platform {

using ModuleHandle = void*;

// The shared object's file name for a module name: a trailing ".dll" (any case) is dropped, the rest is
// lower-cased and wrapped as "lib<stem>.so" ("brkcalcslib.dll" -> "libbrkcalcslib.so"). A folder part
// ("dir/name.dll") is kept as it is.
std::string SharedObjectName(const std::string& moduleName);

// Opens the shared object of a module name. A bare name is looked for in the executable's folder first
// and then where the dynamic loader looks; a name with a folder is opened there only. A file found in the
// executable's folder or named with its folder is opened without blocking and loaded only when it is a
// regular file (a FIFO or a device is refused at once), and the file checked is the file loaded. The
// object is opened with RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE, so it stays mapped for the life of the
// process even after FreeLibrary, while a thread may still run in it. Returns null on failure, with the
// loader's text (or why the file was refused) in error.
ModuleHandle LoadLibrary(const std::string& moduleName, std::string& error);

// The address of an exported symbol, or null.
void* GetProcAddress(ModuleHandle module, const char* symbolName);

// Releases a handle from LoadLibrary; a null handle is refused (false) and never passed to dlclose.
bool FreeLibrary(ModuleHandle module);

}  // namespace platform
