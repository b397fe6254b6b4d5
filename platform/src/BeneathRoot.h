// The one way to reach what lies under the platform root or another folder the services own: start from
// a descriptor of the folder and go down without following a link at any level, so that a link put in
// place of a component, before or during the walk, is refused (ELOOP) instead of leading elsewhere. What
// is then read, written, renamed or removed is named relative to a descriptor held, never by path again.
#pragma once

#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace detail {

// A file descriptor, closed with its owner.
class CDescriptor {
public:
    CDescriptor() = default;
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() { Reset(-1); }
    CDescriptor(CDescriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    CDescriptor& operator=(CDescriptor&& other) noexcept {
        if (this != &other) {
            Reset(other.m_fd);
            other.m_fd = -1;
        }
        return *this;
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;

    int Get() const { return m_fd; }

    // Gives the descriptor up to the caller, who closes it.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    void Reset(int fd) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

    int m_fd = -1;
};

// Opens path (relative, '/' between its components) below the folder held by folder with flags (plus
// O_CLOEXEC and O_NOFOLLOW; mode for O_CREAT). No component may be a link (ELOOP); an absolute path or a
// ".." component is refused (EXDEV). Uses openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH where the
// kernel has it, else OpenByWalk. Returns 0 or errno.
int OpenBeneath(int folder, const std::string& path, int flags, CDescriptor& fd, mode_t mode = 0);

// The same by openat, one component at a time: O_NOFOLLOW | O_DIRECTORY for each folder on the way,
// O_NOFOLLOW for the last.
int OpenByWalk(int folder, const std::string& path, int flags, CDescriptor& fd, mode_t mode = 0);

// Opens the folder path below folder as OpenBeneath does; with create, each missing folder on the way is
// made first (mode 0755).
int OpenFolderBeneath(int folder, const std::string& path, bool create, CDescriptor& fd);

// Opens a folder by its path as the caller gives it (links in that path are the caller's choice); with
// create, makes it and the folders above it first when missing.
int OpenFolder(const std::string& path, bool create, CDescriptor& fd);

// <platform root>/<name>: the root opened as OpenFolder does, name below it as OpenFolderBeneath does.
int OpenRootFolder(const std::string& name, bool create, CDescriptor& fd);

// The names in the folder held by folder, without "." and "..". Returns 0 or errno.
int ListFolder(int folder, std::vector<std::string>& names);

}  // namespace detail
}  // namespace platform
