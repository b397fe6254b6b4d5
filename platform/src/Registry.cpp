#include "platform/Registry.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "FileLock.h"
#include "Text.h"
#include "platform/AtomicFile.h"
#include "platform/PlatformRoot.h"

namespace platform {

namespace fs = std::filesystem;

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

// The entry of dir that matches name ignoring case; name itself when none does, so that a new entry
// keeps the caller's spelling.
std::string ResolveEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir / name, ec)))
        return name;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (detail::EqualNoCase(entry, name))
            return entry;
    }
    return name;
}

bool IsLink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

fs::path RegistryFolder() {
    return fs::path(PlatformRoot()) / "registry";
}

// Every change holds the registry's one lock file (<root>/registry/.lock), so that finding a name
// regardless of case and creating it are one step: writers of "Name" and "NAME" end with one value.
class CRegistryChange {
public:
    CRegistryChange() {
        const fs::path folder = RegistryFolder();
        std::error_code ec;
        fs::create_directories(folder, ec);
        m_nError = ec ? ec.value() : IsLink(folder) ? ELOOP : 0;
        if (m_nError)
            return;
        m_lock.emplace((folder / ".lock").string());
        m_nError = m_lock->Error();
    }

    int Error() const { return m_nError; }

private:
    int m_nError = 0;
    std::optional<detail::CFileLock> m_lock;
};

// A symbolic link where a key's folder (or one above it, up to the registry folder) should be is never
// followed (ELOOP): the registry stays under the root. Only when leafIsLink is given may the key's own
// folder be a link, which it then reports, so that the link can be removed as a link.
int KeyFolder(RegistryHive hive, const std::string& key, fs::path& folder, bool* leafIsLink = nullptr) {
    folder = RegistryFolder();
    if (IsLink(folder) || IsLink(folder /= HiveFolder(hive)))
        return ELOOP;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = key.find('\\', begin);
        const std::string part = key.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (!IsValidName(part))
            return EINVAL;
        folder /= ResolveEntry(folder, part);
        const bool link = IsLink(folder);
        if (end == std::string::npos) {
            if (leafIsLink)
                *leafIsLink = link;
            return link && !leafIsLink ? ELOOP : 0;
        }
        if (link)
            return ELOOP;
        begin = end + 1;
    }
}

// The folder of a key that exists; ENOENT when it does not.
int ExistingKeyFolder(RegistryHive hive, const std::string& key, fs::path& folder) {
    if (int error = KeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(folder, ec)) ? 0 : ENOENT;
}

int ValueFile(RegistryHive hive, const std::string& key, const std::string& name, fs::path& file) {
    fs::path folder;
    if (int error = KeyFolder(hive, key, folder))
        return error;
    if (!IsValidName(name))
        return EINVAL;
    file = folder / ResolveEntry(folder, name);
    return 0;
}

// The file of a value that exists; ENOENT when it does not.
int ExistingValueFile(RegistryHive hive, const std::string& key, const std::string& name, fs::path& file) {
    if (int error = ValueFile(hive, key, name, file))
        return error;
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(file, ec)) ? 0 : ENOENT;
}

// Removes the values of a key's folder and then the folder, through a descriptor of the folder itself,
// so that nothing outside it is removed even if a link takes its place meanwhile.
int RemoveKeyFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR ? ENOENT : errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    std::vector<std::string> values;
    int error = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
            error = ENOTEMPTY;
            break;
        }
        values.push_back(name);
    }
    for (const auto& value : values)
        if (!error && ::unlinkat(fd, value.c_str(), 0) != 0 && errno != ENOENT)
            error = errno;
    ::closedir(dir);
    if (error)
        return error;
    return ::rmdir(folder.c_str()) == 0 ? 0 : errno;
}

// Call under a CRegistryChange.
int CreateKey(RegistryHive hive, const std::string& key) {
    fs::path folder;
    if (int error = KeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    fs::create_directories(folder, ec);
    return ec.value();
}

}  // namespace

int RegCreateKey(RegistryHive hive, const std::string& key) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    return CreateKey(hive, key);
}

bool RegKeyExists(RegistryHive hive, const std::string& key) {
    fs::path folder;
    return ExistingKeyFolder(hive, key, folder) == 0;
}

int RegSetStringValue(RegistryHive hive, const std::string& key, const std::string& name, const std::string& data) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    if (int error = CreateKey(hive, key))
        return error;
    fs::path file;
    if (int error = ValueFile(hive, key, name, file))
        return error;
    return WriteFileAtomically(file.string(), data);
}

int RegQueryStringValue(RegistryHive hive, const std::string& key, const std::string& name, std::string& data) {
    fs::path file;
    if (int error = ExistingValueFile(hive, key, name, file))
        return error;
    return ReadWholeFile(file.string(), data);
}

int RegDeleteValue(RegistryHive hive, const std::string& key, const std::string& name) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    fs::path file;
    if (int error = ExistingValueFile(hive, key, name, file))
        return error;
    return ::unlink(file.c_str()) == 0 ? 0 : errno;
}

int RegDeleteKey(RegistryHive hive, const std::string& key) {
    CRegistryChange change;
    if (change.Error())
        return change.Error();
    fs::path folder;
    bool link = false;
    if (int error = KeyFolder(hive, key, folder, &link))
        return error;
    if (link)
        return ::unlink(folder.c_str()) == 0 ? 0 : errno;
    return RemoveKeyFolder(folder);
}

int RegEnumSubKeys(RegistryHive hive, const std::string& key, std::vector<std::string>& names) {
    fs::path folder;
    if (int error = ExistingKeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsValidName(name) && it->symlink_status(ec).type() == fs::file_type::directory)
            found.push_back(name);
    }
    if (ec)
        return ec.value();
    names.swap(found);
    return 0;
}

}  // namespace platform
