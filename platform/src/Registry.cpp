#include "platform/Registry.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "BeneathRoot.h"
#include "FileLock.h"
#include "Text.h"
#include "platform/AtomicFile.h"

namespace platform {

namespace {

const char* HiveFolder(RegistryHive hive) {
    switch (hive) {
    case RegistryHive::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegistryHive::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegistryHive::LocalMachine:
        break;
    }
    return "HKEY_LOCAL_MACHINE";
}

// Names starting with '.' are refused so that the hidden temporary files of atomic writes are never
// taken for values.
bool IsValidName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

// The entry of the folder that matches name ignoring case; name itself when none does, so that a new
// entry keeps the caller's spelling.
std::string ResolveEntry(int folder, const std::string& name) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    std::vector<std::string> entries;
    detail::ListFolder(folder, entries);
    for (const auto& entry : entries)
        if (detail::EqualNoCase(entry, name))
            return entry;
    return name;
}

// The registry's folder, <root>/registry, which must not be a link (ELOOP).
int OpenRegistry(bool create, detail::CDescriptor& fd) {
    return detail::OpenRootFolder("registry", create, fd);
}

// Every change holds the registry's one lock file (<root>/registry/.lock), so that finding a name
// regardless of case and creating it are one step: writers of "Name" and "NAME" end with one value.
// The lock is taken in the registry folder already opened, so a link in its place gets no lock file.
class CRegistryChange {
public:
    CRegistryChange() {
        m_nError = OpenRegistry(true, m_folder);
        if (m_nError)
            return;
        m_lock.emplace(m_folder.Get(), ".lock");
        m_nError = m_lock->Error();
    }

    int Error() const { return m_nError; }
    int Folder() const { return m_folder.Get(); }

private:
    int m_nError = 0;
    detail::CDescriptor m_folder;
    std::optional<detail::CFileLock> m_lock;
};

// The parts of a key path; EINVAL when one of them is no valid name.
int KeyParts(const std::string& key, std::vector<std::string>& parts) {
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = key.find('\\', begin);
        parts.push_back(key.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (!IsValidName(parts.back()))
            return EINVAL;
        if (end == std::string::npos)
            return 0;
        begin = end + 1;
    }
}

// Opens the folder of the key made of the first count parts (the hive's folder for none), one folder at
// a time from the registry's: a link at any level is refused (ELOOP) and never followed, also when it
// takes a folder's place during the walk. With create, missing folders are made; without, a key that
// does not exist as a folder is ENOENT.
int OpenKey(int registry, RegistryHive hive, const std::vector<std::string>& parts, std::size_t count, bool create,
            detail::CDescriptor& fd) {
    detail::CDescriptor current;
    int error = detail::OpenFolderBeneath(registry, HiveFolder(hive), create, current);
    for (std::size_t i = 0; !error && i < count; ++i) {
        detail::CDescriptor next;
        error = detail::OpenFolderBeneath(current.Get(), ResolveEntry(current.Get(), parts[i]), create, next);
        current = std::move(next);
    }
    if (error)
        return !create && error == ENOTDIR ? ENOENT : error;
    fd = std::move(current);
    return 0;
}

// Opens the folder of a key that exists, for reading.
int OpenExistingKey(RegistryHive hive, const std::string& key, detail::CDescriptor& fd) {
    std::vector<std::string> parts;
    if (int error = KeyParts(key, parts))
        return error;
    detail::CDescriptor registry;
    if (int error = OpenRegistry(false, registry))
        return error;
    return OpenKey(registry.Get(), hive, parts, parts.size(), false, fd);
}

// Removes the values of a key's folder, then the folder, through a descriptor of the folder itself and
// relative to its parent's, so that nothing outside it is removed even if a link takes its place.
int RemoveKeyFolder(int parent, const std::string& name) {
    detail::CDescriptor folder;
    if (int error = detail::OpenBeneath(parent, name, O_RDONLY | O_DIRECTORY, folder))
        return error == ENOTDIR ? ENOENT : error;
    std::vector<std::string> values;
    if (int error = detail::ListFolder(folder.Get(), values))
        return error;
    for (const auto& value : values) {
        struct stat info {};
        if (::fstatat(folder.Get(), value.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode))
            return ENOTEMPTY;
    }
    for (const auto& value : values)
        if (::unlinkat(folder.Get(), value.c_str(), 0) != 0 && errno != ENOENT)
            return errno;
    return ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

// Opens, creating what is missing, the folder of a key; call with a CRegistryChange.
int CreateKey(const CRegistryChange& change, RegistryHive hive, const std::string& key, detail::CDescriptor& fd) {
    std::vector<std::string> parts;
    if (int error = KeyParts(key, parts))
        return error;
    return OpenKey(change.Folder(), hive, parts, parts.size(), true, fd);
}

}  // namespace

int RegCreateKey(RegistryHive hive, const std::string& key) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    detail::CDescriptor folder;
    return CreateKey(change, hive, key, folder);
}

bool RegKeyExists(RegistryHive hive, const std::string& key) {
    detail::CDescriptor folder;
    return OpenExistingKey(hive, key, folder) == 0;
}

int RegSetStringValue(RegistryHive hive, const std::string& key, const std::string& name, const std::string& data) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    detail::CDescriptor folder;
    if (int error = CreateKey(change, hive, key, folder))
        return error;
    if (!IsValidName(name))
        return EINVAL;
    return WriteFileAtomicallyAt(folder.Get(), ResolveEntry(folder.Get(), name), data);
}

int RegQueryStringValue(RegistryHive hive, const std::string& key, const std::string& name, std::string& data) {
    detail::CDescriptor folder;
    if (int error = OpenExistingKey(hive, key, folder))
        return error;
    if (!IsValidName(name))
        return EINVAL;
    const int error = ReadWholeFileAt(folder.Get(), ResolveEntry(folder.Get(), name), data);
    // A link, a folder or anything else that is not a regular file is no value.
    return error == ELOOP || error == EISDIR || error == EINVAL ? ENOENT : error;
}

int RegDeleteValue(RegistryHive hive, const std::string& key, const std::string& name) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    std::vector<std::string> parts;
    if (int error = KeyParts(key, parts))
        return error;
    detail::CDescriptor folder;
    if (int error = OpenKey(change.Folder(), hive, parts, parts.size(), false, folder))
        return error;
    if (!IsValidName(name))
        return EINVAL;
    const std::string file = ResolveEntry(folder.Get(), name);
    struct stat info {};
    if (::fstatat(folder.Get(), file.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
        return ENOENT;
    return ::unlinkat(folder.Get(), file.c_str(), 0) == 0 ? 0 : errno;
}

int RegDeleteKey(RegistryHive hive, const std::string& key) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    std::vector<std::string> parts;
    if (int error = KeyParts(key, parts))
        return error;
    detail::CDescriptor parent;
    if (int error = OpenKey(change.Folder(), hive, parts, parts.size() - 1, false, parent))
        return error;
    const std::string leaf = ResolveEntry(parent.Get(), parts.back());
    struct stat info {};
    if (::fstatat(parent.Get(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    // A key that is a link is removed as a link.
    if (S_ISLNK(info.st_mode))
        return ::unlinkat(parent.Get(), leaf.c_str(), 0) == 0 ? 0 : errno;
    return RemoveKeyFolder(parent.Get(), leaf);
}

int RegEnumSubKeys(RegistryHive hive, const std::string& key, std::vector<std::string>& names) {
    detail::CDescriptor folder;
    if (int error = OpenExistingKey(hive, key, folder))
        return error;
    std::vector<std::string> entries, found;
    if (int error = detail::ListFolder(folder.Get(), entries))
        return error;
    for (const auto& entry : entries) {
        struct stat info {};
        if (IsValidName(entry) && ::fstatat(folder.Get(), entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(info.st_mode))
            found.push_back(entry);
    }
    names.swap(found);
    return 0;
}

}  // namespace platform
