// Process creation, enumeration and waiting.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/ProcessHandle.h"

namespace platform {

// What the started program gets as descriptors 0-2: the caller's, or /dev/null (a service has no console).
enum class SpawnStdio { Inherit, Null };

// Another user and environment for a started program.
struct SpawnIdentity {
    bool switchUser = false;  // run as uid, gid and groups (only root may)
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::vector<std::string> environment;  // "NAME=value" entries: the program's whole environment
};

// Starts program with the arguments (argv[0] is program itself) in workDir, detached: in a session of
// its own, not a child of the caller (so no zombie is ever left behind), with descriptors 0-2 only, an
// empty signal mask and default signal dispositions; with an identity, as that user (after the change of
// folder) and with that environment, else with the caller's. Returns 0 once the program runs, with its
// pid in processId, or the errno of the failing step (ENOENT, 2, for a missing program, as on Windows).
int SpawnDetached(const std::string& program, const std::vector<std::string>& args, const std::string& workDir,
                  int& processId, SpawnStdio stdio = SpawnStdio::Inherit, const SpawnIdentity* identity = nullptr);

// The ids of the running processes whose executable file (/proc/<pid>/exe, not the 15-character
// command name) has this base name, compared case-sensitively. Processes the caller may not inspect are
// left out.
std::vector<int> FindProcessesByName(const std::string& exeBaseName);

// The processes FindProcessesByName lists, each held by a handle and found so named again after it was
// opened, so none is a process that took a listed pid later; in the same order.
std::vector<ProcessHandle> OpenProcessesByName(const std::string& exeBaseName);

// The start time of the process in clock ticks since boot: with the pid it names one process even after
// the pid is reused. 0 when the process does not exist.
std::uint64_t ProcessStartTime(int processId);

// Whether the process exists and has not terminated (a zombie has). With a start time other than 0 the
// process must also have started at that time.
bool IsProcessAlive(int processId, std::uint64_t startTime = 0);

// The executable file the process runs (/proc/<pid>/exe); a program whose file was replaced (as an
// updater does) still counts under its path. Empty when it cannot be read.
std::string ProcessExePath(int processId);

// What names an executable file through a rename or a delete: its device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};

// The identity of the file the process was started from (a stat of /proc/<pid>/exe, which still reaches
// that file once it was renamed or deleted): 0; ESRCH when there is no such process or it runs no file;
// EACCES when the caller may not inspect it; another errno when it cannot be read.
int ProcessExeIdentity(int processId, FileIdentity& identity);

// Waits until the process, which need not be a child, terminates: 0 when it has (or did not exist),
// ETIMEDOUT when timeoutMs passed first, another errno when it cannot be watched.
int WaitForProcessExit(int processId, int timeoutMs);

}  // namespace platform
