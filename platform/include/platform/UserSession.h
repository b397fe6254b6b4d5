// The interactive user's session. Linux has no console session with a user token; it is stood in for by
// a shell process of the user, named in <root>/session.conf ("key=value" lines):
//   ShellProcess=<executable file name>   the session's shell process (on Windows, explorer.exe)
//   ConsoleUser=<uid>                     optional: only a shell process of this user counts
// A program started in the session takes the shell's user, groups and environment.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/ProcessHandle.h"

namespace platform {

struct SessionConfig {
    std::string shellProcess;
    bool hasConsoleUser = false;
    uid_t consoleUser = 0;
};

// <root>/session.conf.
std::string SessionConfigPath();

// 0; ENOENT when the file or its ShellProcess is missing; EINVAL for a ConsoleUser that is no number; else
// the error of ReadWholeFile (EINVAL when it is not a regular file, EFBIG above kReadLimit).
int ReadSessionConfig(SessionConfig& config);

struct ProcessCredentials {
    uid_t uid = 0;  // real user
    gid_t gid = 0;  // real group
    std::vector<gid_t> groups;
};

// The first running shell process of the session, in /proc order, with its credentials: 0, or ESRCH
// when none runs.
int FindSessionShell(const SessionConfig& config, ProcessHandle& shell, ProcessCredentials& credentials);

// The process's credentials from /proc/<pid>/status: 0 or errno.
int ReadProcessCredentials(int processId, ProcessCredentials& credentials);

// The process's environment ("NAME=value" entries) from /proc/<pid>/environ: 0 or errno.
int ReadProcessEnvironment(int processId, std::vector<std::string>& environment);

}  // namespace platform
