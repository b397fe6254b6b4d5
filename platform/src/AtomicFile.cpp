#include "platform/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {

// The characters mkostemp puts in place of "XXXXXX".
const std::size_t kRandomPart = 6;
// A fresh temporary swept away by another writer before it was locked is replaced by another; more
// than a few in a row means something else is wrong.
const int kCreateAttempts = 8;

int WriteAll(int fd, const std::string& contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// ".<name>.", the name cut short so that the temporary name fits where the name itself does.
std::string TemporaryPrefix(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t kept = NAME_MAX - 8;  // room for "." and ".XXXXXX"
    return "." + name.substr(0, kept) + ".";
}

bool IsTemporaryName(const std::string& entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + kRandomPart || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < entry.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i])))
            return false;
    return true;
}

// Removes one leftover temporary, unless it is not a regular file (a link is not followed) or a live
// writer holds its lock.
void RemoveLeftover(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {}, named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

// Temporaries of path that killed writes left behind.
void RemoveLeftovers(const std::string& path) {
    DIR* dir = ::opendir(Folder(path).c_str());
    if (!dir)
        return;
    const std::string prefix = TemporaryPrefix(path);
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(dir))
        if (IsTemporaryName(entry->d_name, prefix))
            leftovers.push_back(entry->d_name);
    for (const auto& name : leftovers)
        RemoveLeftover(::dirfd(dir), name.c_str());
    ::closedir(dir);
}

// A new temporary beside path, locked until its descriptor is closed, so that no other writer's sweep
// removes it while it is written. Returns 0 or errno.
int CreateTemporary(const std::string& path, std::vector<char>& name, int& fd) {
    const std::string pattern = Folder(path) + TemporaryPrefix(path) + "XXXXXX";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        name.assign(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return errno;
        struct stat info {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &info) != 0) {
            const int error = errno;
            ::unlink(name.data());
            ::close(fd);
            return error;
        }
        if (info.st_nlink > 0)
            return 0;
        ::close(fd);  // swept before it was locked
    }
    return EAGAIN;
}

// Makes the rename itself durable: the new entry is in the folder once this returns.
int SyncFolder(const std::string& path) {
    const int fd = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

int WriteFileAtomically(const std::string& path, const std::string& contents) {
    RemoveLeftovers(path);
    std::vector<char> name;
    int fd = -1;
    if (int error = CreateTemporary(path, name, fd))
        return error;
    int error = WriteAll(fd, contents);
    if (!error && ::fchmod(fd, 0644) != 0)
        error = errno;
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    // Renamed while still open and locked: a sweep never takes a finished temporary for a leftover. The
    // data is on disk once fdatasync succeeded, so closing it afterwards cannot fail the write.
    if (!error && ::rename(name.data(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(name.data());
    ::close(fd);
    return error ? error : SyncFolder(path);
}

int ReadWholeFile(const std::string& path, std::string& contents, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : !S_ISREG(info.st_mode) ? EINVAL : 0;
    std::string text;
    char buffer[4096];
    while (!error) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        if (got == 0)
            break;
        if (static_cast<std::size_t>(got) > limit - text.size())
            error = EFBIG;
        else
            text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!error)
        contents.swap(text);
    return error;
}

}  // namespace platform
