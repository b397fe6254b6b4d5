// A registry of keys and string values under the platform root: keys are folders, values are files
// (<root>/registry/<hive>/<key path>/<value name>). Like the Windows registry, names keep the spelling
// they were created with and are found regardless of letter case. Changes are serialised by one lock
// file, so a name never exists twice in different letter cases.
//
// Key paths use backslashes between their parts ("AppID\\{GUID}"). A part or a value name must not be
// empty, start with '.', or contain '/', '\\' or NUL (EINVAL). Every function returns 0 or an errno
// value; ENOENT (2) is also the Windows number for a missing key or value.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class RegistryHive { ClassesRoot, CurrentUser, LocalMachine };

// Creates the key and every missing key above it.
int RegCreateKey(RegistryHive hive, const std::string& key);

// Whether the key exists.
bool RegKeyExists(RegistryHive hive, const std::string& key);

// Sets a string value, creating the key when needed; the value file is replaced atomically.
int RegSetStringValue(RegistryHive hive, const std::string& key, const std::string& name, const std::string& data);

// Reads a string value.
int RegQueryStringValue(RegistryHive hive, const std::string& key, const std::string& name, std::string& data);

// Removes a value.
int RegDeleteValue(RegistryHive hive, const std::string& key, const std::string& name);

// Removes a key with its values. As on Windows a key that still has subkeys stays (ENOTEMPTY).
int RegDeleteKey(RegistryHive hive, const std::string& key);

// The names of the key's direct subkeys, in no particular order.
int RegEnumSubKeys(RegistryHive hive, const std::string& key, std::vector<std::string>& names);

}  // namespace platform
