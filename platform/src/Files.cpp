#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BeneathRoot.h"

namespace platform {

CFolder::~CFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int CFolder::Open(const std::string& parent, const std::string& name) {
    detail::CDescriptor above, folder;
    int error = detail::OpenFolder(parent, false, above);
    if (!error)
        error = detail::OpenFolderBeneath(above.Get(), name, false, folder);
    if (error)
        return error;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = folder.Release();
    return 0;
}

int CFolder::FindFiles(const std::string& pattern, std::vector<FoundFile>& files) const {
    std::vector<std::string> names;
    if (int error = detail::ListFolder(m_fd, names))
        return error;
    std::vector<FoundFile> found;
    for (const auto& name : names) {
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0)
            continue;
        struct statx info {};
        if (::statx(m_fd, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BTIME | STATX_MTIME, &info) != 0 ||
            !S_ISREG(info.stx_mode))
            continue;
        const auto& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
        found.push_back({name, static_cast<std::time_t>(stamp.tv_sec)});
    }
    files.swap(found);
    return 0;
}

int CFolder::DeleteFile(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos)
        return EINVAL;
    return ::unlinkat(m_fd, name.c_str(), 0) == 0 ? 0 : errno;
}

}  // namespace platform
