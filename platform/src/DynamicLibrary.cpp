#include "platform/DynamicLibrary.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "Text.h"
#include "platform/ModulePath.h"

namespace platform {

namespace {

const int kLoadFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

std::string LoaderError(const std::string& fallback) {
    const char* text = ::dlerror();
    return text ? text : fallback;
}

// The loader knows an object by every name it was asked for it by, and a name "/proc/self/fd/N" means
// another file as soon as descriptor N is reused. So each file loaded keeps one descriptor open for the
// life of the process (its object is never unmapped either), and the file is always loaded again by that
// descriptor's name: the name never comes to mean another file.
class LoadedFiles {
public:
    // Loads the regular file open on fd through a descriptor's name, so that the file checked is the file
    // loaded: a file swapped in after the check is never opened. Takes fd over.
    ModuleHandle Load(int fd, const std::string& file, std::string& error) {
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            error = file + ": not a regular file, refused";
            return nullptr;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_descriptors.find({info.st_dev, info.st_ino});
        if (known != m_descriptors.end()) {
            ::close(fd);
            fd = known->second;
        }
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd);
        ModuleHandle module = ::dlopen(byDescriptor.c_str(), kLoadFlags);
        if (!module) {
            error = LoaderError("cannot load " + file);
            for (auto at = error.find(byDescriptor); at != std::string::npos;
                 at = error.find(byDescriptor, at + file.size()))
                error.replace(at, byDescriptor.size(), file);
        }
        if (known == m_descriptors.end()) {
            if (module)
                m_descriptors.emplace(std::make_pair(info.st_dev, info.st_ino), fd);
            else
                ::close(fd);
        }
        return module;
    }

private:
    std::mutex m_mutex;
    std::map<std::pair<dev_t, ino_t>, int> m_descriptors;  // by the file's device and inode
};

LoadedFiles& TheLoadedFiles() {
    static LoadedFiles files;
    return files;
}

}  // namespace

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
    std::string file = SharedObjectName(moduleName);
    const bool bare = file.find('/') == std::string::npos;
    if (bare)
        file = ModuleDir() + "/" + file;
    // Non-blocking: a FIFO without a writer is refused at once instead of holding the caller.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        return TheLoadedFiles().Load(fd, file, error);
    const int openError = errno;
    if (!bare || openError != ENOENT) {
        error = file + ": cannot open shared object file: " + std::strerror(openError);
        return nullptr;
    }
    // Not beside the executable: where the dynamic loader looks.
    const std::string name = SharedObjectName(moduleName);
    ModuleHandle module = ::dlopen(name.c_str(), kLoadFlags);
    if (!module)
        error = LoaderError("cannot load " + name);
    return module;
}

void* GetProcAddress(ModuleHandle module, const char* symbolName) {
    return module ? ::dlsym(module, symbolName) : nullptr;
}

bool FreeLibrary(ModuleHandle module) {
    return module && ::dlclose(module) == 0;
}

}  // namespace platform
