#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "Text.h"
#include "platform/ModulePath.h"

namespace platform {

std::string SharedObjectName(const std::string& moduleName) {
    const auto slash = moduleName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : moduleName.substr(0, slash + 1);
    std::string stem = detail::ToLowerAscii(slash == std::string::npos ? moduleName : moduleName.substr(slash + 1));
    const std::string suffix = ".dll";
    if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        stem.resize(stem.size() - suffix.size());
    return folder + "lib" + stem + ".so";
}

ModuleHandle LoadLibrary(const std::string& moduleName, std::string& error) {
    const int flags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
    std::string file = SharedObjectName(moduleName);
    if (file.find('/') == std::string::npos) {
        const std::string beside = ModuleDir() + "/" + file;
        struct stat info {};
        if (::stat(beside.c_str(), &info) == 0)
            file = beside;
    }
    ModuleHandle module = ::dlopen(file.c_str(), flags);
    if (!module) {
        const char* text = ::dlerror();
        error = text ? text : "cannot load " + file;
    }
    return module;
}

void* GetProcAddress(ModuleHandle module, const char* symbolName) {
    return module ? ::dlsym(module, symbolName) : nullptr;
}

bool FreeLibrary(ModuleHandle module) {
    return module && ::dlclose(module) == 0;
}

}  // namespace platform
