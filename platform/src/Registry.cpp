#include "platform/Registry.h"

#include <cerrno>
#include <filesystem>
#include <optional>
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

// Every change holds the registry's one lock file (<root>/registry/.lock), so that finding a name
// regardless of case and creating it are one step: writers of "Name" and "NAME" end with one value.
class CRegistryChange {
public:
    CRegistryChange() {
        const fs::path folder = fs::path(PlatformRoot()) / "registry";
        std::error_code ec;
        fs::create_directories(folder, ec);
        m_nError = ec.value();
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

int KeyFolder(RegistryHive hive, const std::string& key, fs::path& folder) {
    folder = fs::path(PlatformRoot()) / "registry" / HiveFolder(hive);
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = key.find('\\', begin);
        const std::string part = key.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (!IsValidName(part))
            return EINVAL;
        folder /= ResolveEntry(folder, part);
        if (end == std::string::npos)
            return 0;
        begin = end + 1;
    }
}

// The folder of a key that exists; ENOENT when it does not.
int ExistingKeyFolder(RegistryHive hive, const std::string& key, fs::path& folder) {
    if (int error = KeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    return fs::is_directory(folder, ec) ? 0 : ENOENT;
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
    return fs::is_regular_file(file, ec) ? 0 : ENOENT;
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
    if (int error = ExistingKeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    std::vector<fs::path> values;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec))
            return ENOTEMPTY;
        values.push_back(it->path());
    }
    if (ec)
        return ec.value();
    for (const auto& value : values)
        if (::unlink(value.c_str()) != 0 && errno != ENOENT)
            return errno;
    return ::rmdir(folder.c_str()) == 0 ? 0 : errno;
}

int RegEnumSubKeys(RegistryHive hive, const std::string& key, std::vector<std::string>& names) {
    fs::path folder;
    if (int error = ExistingKeyFolder(hive, key, folder))
        return error;
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsValidName(name) && it->is_directory(ec))
            found.push_back(name);
    }
    if (ec)
        return ec.value();
    names.swap(found);
    return 0;
}

}  // namespace platform
