// File search by wildcard pattern, with creation times, and deletion, in a folder held open.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace platform {

struct FoundFile {
    std::string name;          // file name without the folder
    std::time_t creationTime;  // birth time where the file system records one, else last modification
};

// A folder held open by a descriptor: what is found in it and deleted from it is that folder's, also
// when a link or another folder takes its path meanwhile.
class CFolder {
public:
    CFolder() = default;
    ~CFolder();
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;

    // Opens parent/name: parent as given (a link in its path is the caller's choice), name without
    // following a link (ELOOP). Returns 0 or errno (ENOENT for a missing folder).
    int Open(const std::string& parent, const std::string& name);

    // The regular files directly in the folder whose names match pattern ('*' and '?' wildcards, letter
    // case ignored as on Windows). Returns 0 or errno.
    int FindFiles(const std::string& pattern, std::vector<FoundFile>& files) const;

    // Removes one file of the folder (a link as a link). Returns 0 or errno.
    int DeleteFile(const std::string& name) const;

private:
    int m_fd = -1;
};

}  // namespace platform
