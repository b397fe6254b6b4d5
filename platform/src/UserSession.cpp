#include "platform/UserSession.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "BeneathRoot.h"
#include "platform/AtomicFile.h"
#include "platform/PlatformRoot.h"
#include "platform/Processes.h"

namespace platform {

namespace {

bool ParseId(const std::string& text, unsigned long& id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    id = std::strtoul(text.c_str(), nullptr, 10);
    return errno == 0 && id == static_cast<uid_t>(id);
}

// The numbers behind "<key>:" in /proc/<pid>/status.
bool StatusNumbers(const std::string& status, const std::string& key, std::vector<unsigned long>& numbers) {
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, key.size() + 1, key + ":") != 0)
            continue;
        std::istringstream fields(line.substr(key.size() + 1));
        for (unsigned long number; fields >> number;)
            numbers.push_back(number);
        return true;
    }
    return false;
}

// A process's environment may take a quarter of its stack limit, far more than any file of ours.
const std::size_t kProcFileLimit = 64 * 1024 * 1024;

int ReadProcFile(int processId, const char* name, std::string& text) {
    return ReadWholeFile("/proc/" + std::to_string(processId) + "/" + name, text, kProcFileLimit);
}

}  // namespace

std::string SessionConfigPath() {
    return PlatformRoot() + "/session.conf";
}

int ReadSessionConfig(SessionConfig& config) {
    // Read relative to the root held open, so a link put in place of the file is refused (ELOOP).
    detail::CDescriptor root;
    if (int error = detail::OpenFolder(PlatformRoot(), false, root))
        return error;
    std::string text;
    if (int error = ReadWholeFileAt(root.Get(), "session.conf", text))
        return error;
    std::istringstream in(text);
    SessionConfig read;
    for (std::string line; std::getline(in, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        unsigned long uid = 0;
        if (key == "ShellProcess") {
            read.shellProcess = value;
        } else if (key == "ConsoleUser") {
            if (!ParseId(value, uid))
                return EINVAL;
            read.hasConsoleUser = true;
            read.consoleUser = static_cast<uid_t>(uid);
        }
    }
    if (read.shellProcess.empty())
        return ENOENT;
    config = read;
    return 0;
}

int FindSessionShell(const SessionConfig& config, ProcessHandle& shell, ProcessCredentials& credentials) {
    for (ProcessHandle& candidate : OpenProcessesByName(config.shellProcess)) {
        ProcessCredentials read;
        if (ReadProcessCredentials(candidate.Pid(), read) != 0)
            continue;
        if (config.hasConsoleUser && read.uid != config.consoleUser)
            continue;
        // Still running after the read: the credentials are this process's.
        if (candidate.IsRunning()) {
            shell = std::move(candidate);
            credentials = std::move(read);
            return 0;
        }
    }
    return ESRCH;
}

int ReadProcessCredentials(int processId, ProcessCredentials& credentials) {
    std::string status;
    if (int error = ReadProcFile(processId, "status", status))
        return error;
    std::vector<unsigned long> uids, gids, groups;
    if (!StatusNumbers(status, "Uid", uids) || !StatusNumbers(status, "Gid", gids) ||
        !StatusNumbers(status, "Groups", groups) || uids.empty() || gids.empty())
        return EIO;
    credentials.uid = static_cast<uid_t>(uids[0]);
    credentials.gid = static_cast<gid_t>(gids[0]);
    credentials.groups.assign(groups.begin(), groups.end());
    return 0;
}

int ReadProcessEnvironment(int processId, std::vector<std::string>& environment) {
    std::string block;
    if (int error = ReadProcFile(processId, "environ", block))
        return error;
    std::vector<std::string> entries;
    std::istringstream in(block);
    for (std::string entry; std::getline(in, entry, '\0');)
        if (entry.find('=') != std::string::npos)
            entries.push_back(entry);
    environment.swap(entries);
    return 0;
}

}  // namespace platform
