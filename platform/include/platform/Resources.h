// The string table and file version of the running executable. Each executable links its own
// ModuleResources definition (the stand-in for a Windows resource section).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct StringResource {
    unsigned id;
    const char* text;
};

struct FileVersion {
    bool present;  // false: the executable has no version resource
    std::uint16_t major;
    std::uint16_t minor;
    std::uint16_t build;
    std::uint16_t revision;
};

struct ModuleResources {
    const StringResource* strings;
    std::size_t stringCount;
    FileVersion version;
};

// Defined once by every executable that reads its resources.
extern const ModuleResources g_moduleResources;

// The entry of the string table, or an empty string when there is none.
std::string LoadString(unsigned id);

// The file version; false, with the outputs untouched, when the executable has none.
bool GetFileVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build, std::uint16_t& revision);

}  // namespace platform
