#include "process/UserSessionLauncher.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "platform/Processes.h"
#include "platform/UserSession.h"

extern char** environ;

namespace {

// The service's environment with the session's entries added or put in place of those of the same name.
std::vector<std::string> sessionEnvironment(const std::vector<std::string>& session) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry && *entry; ++entry)
        merged.emplace_back(*entry);
    for (const auto& entry : session) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (auto& existing : merged)
            if (existing.compare(0, name.size(), name) == 0) {
                existing = entry;
                replaced = true;
            }
        if (!replaced)
            merged.push_back(entry);
    }
    return merged;
}

std::string workingFolder() {
    std::error_code ec;
    const auto folder = std::filesystem::current_path(ec);
    return ec ? std::string("/") : folder.string();
}

// The session's identity for a launch: 0, or an error already logged.
int sessionIdentity(platform::SpawnIdentity& identity) {
    platform::SessionConfig config;
    if (int error = platform::ReadSessionConfig(config)) {
        LOG_SEV(error) << "no user session: can't read the ShellProcess of " << platform::SessionConfigPath()
                       << ": " << static_cast<unsigned>(error);
        return error;
    }
    platform::ProcessHandle shell;
    platform::ProcessCredentials credentials;
    if (platform::FindSessionShell(config, shell, credentials) != 0) {
        LOG_SEV(error) << "no user session: no " << config.shellProcess << " process runs"
                       << (config.hasConsoleUser ? " for user " + std::to_string(config.consoleUser) : "");
        return ESRCH;
    }
    std::vector<std::string> environment;
    // Without the session's environment the program gets the service's, as without an environment block.
    if (platform::ReadProcessEnvironment(shell.Pid(), environment) != 0)
        environment.clear();
    if (!shell.IsRunning()) {
        LOG_SEV(error) << "Process token open Error: " << static_cast<unsigned>(ESRCH);
        return ESRCH;
    }
    // Only root can take on another user; a service of any other user starts the program as itself.
    if (::geteuid() == 0) {
        if (credentials.uid == 0) {
            LOG_SEV(error) << "the session's " << config.shellProcess
                           << " process runs as root: a user's program is not started as root";
            return EPERM;
        }
        identity.switchUser = true;
        identity.uid = credentials.uid;
        identity.gid = credentials.gid;
        identity.groups = credentials.groups;
    }
    identity.environment = sessionEnvironment(environment);
    return 0;
}

}  // namespace

int launchProcessInUserSession(const std::string& path) {
    platform::SpawnIdentity identity;
    if (int error = sessionIdentity(identity))
        return error;
    int processId = 0;
    const int error =
        platform::SpawnDetached(path, {}, workingFolder(), processId, platform::SpawnStdio::Null, &identity);
    if (error)
        LOG_SEV(error) << "can't start " << Logging::EscapeClientText(path) << " in the user session: " << static_cast<unsigned>(error);
    else
        LOG_SEV(info) << "started " << Logging::EscapeClientText(path) << " in the user session, pid:" << processId;
    return error;
}
