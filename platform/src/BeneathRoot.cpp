#include "BeneathRoot.h"

#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>

#include "platform/PlatformRoot.h"

namespace platform {
namespace detail {

namespace {

const mode_t kFolderMode = 0755;

// The components of a relative path; false when it is empty, absolute or climbs with "..".
bool SplitBeneath(const std::string& path, std::vector<std::string>& parts) {
    if (path.empty() || path[0] == '/')
        return false;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = path.find('/', begin);
        const std::string part = path.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (end == std::string::npos)
            return !parts.empty();
        begin = end + 1;
    }
}

// One component. A link opened as a folder fails with ENOTDIR; it is told as a link (ELOOP).
int OpenAt(int folder, const std::string& name, int flags, mode_t mode, CDescriptor& fd) {
    const int opened = ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (opened < 0) {
        const int error = errno;
        struct stat info {};
        const bool link = error == ENOTDIR && ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(info.st_mode);
        return link ? ELOOP : error;
    }
    fd = CDescriptor(opened);
    return 0;
}

// Whether openat2 is known to be missing (ENOSYS once): then every later call walks at once.
std::atomic<bool> g_noOpenat2{false};

}  // namespace

int OpenByWalk(int folder, const std::string& path, int flags, CDescriptor& fd, mode_t mode) {
    std::vector<std::string> parts;
    if (!SplitBeneath(path, parts))
        return EXDEV;
    CDescriptor current;
    int at = folder;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (int error = OpenAt(at, parts[i], O_RDONLY | O_DIRECTORY, 0, current))
            return error;
        at = current.Get();
    }
    return OpenAt(at, parts.back(), flags, mode, fd);
}

int OpenBeneath(int folder, const std::string& path, int flags, CDescriptor& fd, mode_t mode) {
    std::vector<std::string> parts;
    if (!SplitBeneath(path, parts))
        return EXDEV;
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = static_cast<unsigned>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const long opened = ::syscall(SYS_openat2, folder, path.c_str(), &how, sizeof how);
        if (opened >= 0) {
            fd = CDescriptor(static_cast<int>(opened));
            return 0;
        }
        // A link in the last component's place, opened as a folder, is told apart by the walk.
        if (errno == ENOTDIR && (flags & O_DIRECTORY))
            return OpenByWalk(folder, path, flags, fd, mode);
        if (errno != ENOSYS)
            return errno;
        g_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return OpenByWalk(folder, path, flags, fd, mode);
}

int OpenFolderBeneath(int folder, const std::string& path, bool create, CDescriptor& fd) {
    if (!create)
        return OpenBeneath(folder, path, O_RDONLY | O_DIRECTORY, fd);
    std::vector<std::string> parts;
    if (!SplitBeneath(path, parts))
        return EXDEV;
    CDescriptor current;
    int at = folder;
    for (const auto& part : parts) {
        // A link of that name makes mkdirat fail with EEXIST; the open then refuses it.
        if (::mkdirat(at, part.c_str(), kFolderMode) != 0 && errno != EEXIST)
            return errno;
        CDescriptor next;
        if (int error = OpenBeneath(at, part, O_RDONLY | O_DIRECTORY, next))
            return error;
        current = std::move(next);
        at = current.Get();
    }
    fd = std::move(current);
    return 0;
}

int OpenFolder(const std::string& path, bool create, CDescriptor& fd) {
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (ec)
            return ec.value();
    }
    const int opened = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0)
        return errno;
    fd = CDescriptor(opened);
    return 0;
}

int OpenRootFolder(const std::string& name, bool create, CDescriptor& fd) {
    CDescriptor root;
    if (int error = OpenFolder(PlatformRoot(), create, root))
        return error;
    return OpenFolderBeneath(root.Get(), name, create, fd);
}

int ListFolder(int folder, std::vector<std::string>& names) {
    // A descriptor of its own: readdir moves the position of the one it reads.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return errno;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        const int error = errno;
        ::close(own);
        return error;
    }
    std::vector<std::string> found;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            found.push_back(name);
    }
    ::closedir(dir);
    if (!error)
        names.swap(found);
    return error;
}

}  // namespace detail
}  // namespace platform
