#include "platform/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "BeneathRoot.h"

namespace platform {

namespace {

// The random letters and digits that end a temporary's name.
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

// ".<name>.", the name cut short so that the temporary name fits where the name itself does.
std::string TemporaryPrefix(const std::string& name) {
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
void RemoveLeftover(int folder, const std::string& name) {
    detail::CDescriptor fd;
    if (detail::OpenBeneath(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY, fd) != 0)
        return;
    struct stat opened {}, named {};
    if (::fstat(fd.Get(), &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev)
        ::unlinkat(folder, name.c_str(), 0);
}

// Temporaries of name that killed writes left behind.
void RemoveLeftovers(int folder, const std::string& name) {
    std::vector<std::string> entries;
    if (detail::ListFolder(folder, entries) != 0)
        return;
    const std::string prefix = TemporaryPrefix(name);
    for (const auto& entry : entries)
        if (IsTemporaryName(entry, prefix))
            RemoveLeftover(folder, entry);
}

// A new temporary beside name, locked until its descriptor is closed, so that no other writer's sweep
// removes it while it is written. Returns 0 or errno.
int CreateTemporary(int folder, const std::string& name, std::string& temporary, detail::CDescriptor& fd) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        temporary = TemporaryPrefix(name);
        for (std::size_t i = 0; i < kRandomPart; ++i)
            temporary += kLetters[letter(random)];
        const int error = detail::OpenBeneath(folder, temporary, O_RDWR | O_CREAT | O_EXCL, fd, 0600);
        if (error == EEXIST)
            continue;
        if (error)
            return error;
        struct stat info {};
        if (::flock(fd.Get(), LOCK_EX) != 0 || ::fstat(fd.Get(), &info) != 0) {
            const int failed = errno;
            ::unlinkat(folder, temporary.c_str(), 0);
            return failed;
        }
        if (info.st_nlink > 0)
            return 0;
        // swept before it was locked
    }
    return EAGAIN;
}

int ReadOpened(int fd, std::string& contents, std::size_t limit) {
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
    if (!error)
        contents.swap(text);
    return error;
}

// The folder part of a path ("." when it has none) and its last component.
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const auto slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int WriteFileAtomicallyAt(int folder, const std::string& name, const std::string& contents) {
    RemoveLeftovers(folder, name);
    std::string temporary;
    detail::CDescriptor fd;
    if (int error = CreateTemporary(folder, name, temporary, fd))
        return error;
    int error = WriteAll(fd.Get(), contents);
    if (!error && ::fchmod(fd.Get(), 0644) != 0)
        error = errno;
    if (!error && ::fdatasync(fd.Get()) != 0)
        error = errno;
    // Renamed while still open and locked: a sweep never takes a finished temporary for a leftover. The
    // data is on disk once fdatasync succeeded, so closing it afterwards cannot fail the write.
    if (!error && ::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return error;
    }
    // Makes the rename itself durable: the new entry is in the folder once this returns.
    return ::fsync(folder) == 0 ? 0 : errno;
}

int WriteFileAtomically(const std::string& path, const std::string& contents) {
    std::string folderPath, name;
    SplitPath(path, folderPath, name);
    detail::CDescriptor folder;
    if (int error = detail::OpenFolder(folderPath, false, folder))
        return error;
    return WriteFileAtomicallyAt(folder.Get(), name, contents);
}

int ReadWholeFileAt(int folder, const std::string& name, std::string& contents, std::size_t limit) {
    detail::CDescriptor fd;
    if (int error = detail::OpenBeneath(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY, fd))
        return error;
    return ReadOpened(fd.Get(), contents, limit);
}

int ReadWholeFile(const std::string& path, std::string& contents, std::size_t limit) {
    const detail::CDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno;
    return ReadOpened(fd.Get(), contents, limit);
}

}  // namespace platform
