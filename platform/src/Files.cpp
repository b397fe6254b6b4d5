#include "platform/Files.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int FindFiles(const std::string& folder, const std::string& pattern, std::vector<FoundFile>& files) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    std::vector<FoundFile> found;
    while (const dirent* entry = ::readdir(dir)) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0)
            continue;
        struct statx info {};
        if (::statx(::dirfd(dir), entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BTIME | STATX_MTIME,
                    &info) != 0 ||
            !S_ISREG(info.stx_mode))
            continue;
        const auto& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
        found.push_back({entry->d_name, static_cast<std::time_t>(stamp.tv_sec)});
    }
    ::closedir(dir);
    files.swap(found);
    return 0;
}

int DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace platform
