// File search by wildcard pattern, with creation times, and deletion.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace platform {

struct FoundFile {
    std::string name;          // file name without the folder
    std::time_t creationTime;  // birth time where the file system records one, else last modification
};

// The regular files directly in folder whose names match pattern ('*' and '?' wildcards, letter case
// ignored as on Windows). Returns 0 or errno (ENOENT for a missing folder).
int FindFiles(const std::string& folder, const std::string& pattern, std::vector<FoundFile>& files);

// Removes one file. Returns 0 or errno.
int DeleteFile(const std::string& path);

}  // namespace platform
