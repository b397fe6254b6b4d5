// What the running executable knows about itself: its folder, string table and version.
#pragma once

#include <cstdint>
#include <string>

// The executable's folder without a trailing separator; set once at start-up before any thread starts,
// only read afterwards.
extern std::string g_strModuleDir;

// The entry of the executable's string table; empty when there is none.
std::string LoadResourceString(unsigned id);

// The executable's file version; false when it has none.
bool GetModuleVersion(std::uint16_t& major, std::uint16_t& minor, std::uint16_t& build, std::uint16_t& revision);

// The file version as "major.minor.build.revision"; "0.0.0.0" when there is none.
std::string GetVersionString();
