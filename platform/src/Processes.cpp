#include "platform/Processes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "ReadLink.h"
#include "platform/ProcessHandle.h"

namespace platform {

namespace {

// Both ends of the spawn's report pipe are close-on-exec: a successful exec closes it, so the reader
// sees end-of-file after the pid; a failed one writes its errno first.
void WriteInt(int fd, int value) {
    while (::write(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool ReadInt(int fd, int& value) {
    std::size_t got = 0;
    char* bytes = reinterpret_cast<char*>(&value);
    while (got < sizeof value) {
        const ssize_t n = ::read(fd, bytes + got, sizeof value - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Closes every descriptor above 2 but keep; only async-signal-safe calls (runs between fork and exec).
void CloseDescriptorsAbove2Except(int keep, int maxDescriptor) {
    const bool keepAbove2 = keep > 2;
    if (keepAbove2 && keep > 3 && ::close_range(3, static_cast<unsigned>(keep - 1), 0) != 0) {
        for (int fd = 3; fd < keep; ++fd)
            ::close(fd);
    }
    const unsigned first = static_cast<unsigned>(keepAbove2 ? keep + 1 : 3);
    if (::close_range(first, ~0U, 0) != 0) {
        for (int fd = static_cast<int>(first); fd < maxDescriptor; ++fd)
            ::close(fd);
    }
}

// Points descriptors 0-2 at /dev/null.
void NullStdio() {
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0)
        return;
    for (int fd = 0; fd <= 2; ++fd)
        if (fd != null)
            ::dup2(null, fd);
    if (null > 2)
        ::close(null);
}

// Takes on the identity's user, groups first; true when there is none to take.
bool SwitchUser(const SpawnIdentity* identity) {
    return !identity || !identity->switchUser ||
           (::setgroups(identity->groups.size(), identity->groups.data()) == 0 && ::setgid(identity->gid) == 0 &&
            ::setuid(identity->uid) == 0);
}

[[noreturn]] void ExecGrandchild(int reportFd, const char* program, char* const argv[], const char* workDir,
                                 int maxDescriptor, SpawnStdio stdio, const SpawnIdentity* identity,
                                 char* const envp[]) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaultAction, nullptr);
    sigset_t empty;
    sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, &empty, nullptr);
    CloseDescriptorsAbove2Except(reportFd, maxDescriptor);
    if (stdio == SpawnStdio::Null)
        NullStdio();
    WriteInt(reportFd, static_cast<int>(::getpid()));
    if (::chdir(workDir) == 0 && SwitchUser(identity))
        ::execve(program, argv, identity ? envp : environ);
    WriteInt(reportFd, errno);
    ::_exit(127);
}

bool ReadStatFields(int processId, char& state, std::uint64_t& startTime) {
    std::ifstream in("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return false;
    // The command name in parentheses may hold blanks and parentheses; the fields follow the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(line.substr(close + 1));
    fields >> state;
    std::string skipped;
    for (int field = 4; field < 22 && fields; ++field)  // fields 4..21
        fields >> skipped;
    fields >> startTime;
    return static_cast<bool>(fields);
}

// /proc/<pid>/exe without the mark of a replaced file; empty when it cannot be read.
std::string ExePath(const std::string& pid) {
    static const std::string deleted = " (deleted)";
    std::string exe;
    if (!detail::ReadLink("/proc/" + pid + "/exe", exe))
        return std::string();
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
        exe.resize(exe.size() - deleted.size());
    return exe;
}

// Whether /proc/<pid>/exe names a file of this base name.
bool HasExeBaseName(const std::string& pid, const std::string& exeBaseName) {
    const std::string exe = ExePath(pid);
    return !exe.empty() && exe.substr(exe.rfind('/') + 1) == exeBaseName;
}

}  // namespace

int SpawnDetached(const std::string& program, const std::vector<std::string>& args, const std::string& workDir,
                  int& processId, SpawnStdio stdio, const SpawnIdentity* identity) {
    // Everything the children need is prepared here: after fork only async-signal-safe calls are made.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (identity)
        for (const auto& entry : identity->environment)
            envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    struct rlimit limit {};
    const int maxDescriptor =
        ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? static_cast<int>(limit.rlim_cur) : 65536;

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return errno;
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return error;
    }
    if (child == 0) {
        // The intermediate child leaves the caller's session and exits at once; its own child, reparented
        // to init, runs the program.
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            ExecGrandchild(report[1], program.c_str(), argv.data(), workDir.c_str(), maxDescriptor, stdio, identity,
                           envp.data());
        if (grandchild < 0)
            WriteInt(report[1], -errno);
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int pid = 0;
    int error = 0;
    if (!ReadInt(report[0], pid))
        error = ECHILD;
    else if (pid <= 0)
        error = -pid;
    else if (ReadInt(report[0], error))
        pid = 0;
    ::close(report[0]);
    if (error)
        return error;
    processId = pid;
    return 0;
}

std::vector<int> FindProcessesByName(const std::string& exeBaseName) {
    std::vector<int> found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && *end == '\0' && HasExeBaseName(entry->d_name, exeBaseName))
            found.push_back(static_cast<int>(pid));
    }
    ::closedir(proc);
    return found;
}

std::vector<ProcessHandle> OpenProcessesByName(const std::string& exeBaseName) {
    std::vector<ProcessHandle> opened;
    for (const int pid : FindProcessesByName(exeBaseName)) {
        ProcessHandle handle = ProcessHandle::Open(pid);
        // Still so named once held, and running after that check: the pid was not reused in between.
        if (handle && HasExeBaseName(std::to_string(pid), exeBaseName) && handle.IsRunning())
            opened.push_back(std::move(handle));
    }
    return opened;
}

std::uint64_t ProcessStartTime(int processId) {
    char state = 0;
    std::uint64_t startTime = 0;
    return processId > 0 && ReadStatFields(processId, state, startTime) ? startTime : 0;
}

bool IsProcessAlive(int processId, std::uint64_t startTime) {
    char state = 0;
    std::uint64_t actualStart = 0;
    if (processId <= 0 || !ReadStatFields(processId, state, actualStart))
        return false;
    if (state == 'Z' || state == 'X')
        return false;
    return startTime == 0 || startTime == actualStart;
}

std::string ProcessExePath(int processId) {
    return processId > 0 ? ExePath(std::to_string(processId)) : std::string();
}

int ProcessExeIdentity(int processId, FileIdentity& identity) {
    struct stat file {};
    if (processId <= 0)
        return ESRCH;
    if (::stat(("/proc/" + std::to_string(processId) + "/exe").c_str(), &file) != 0)
        return errno == ENOENT ? ESRCH : errno;
    identity.device = file.st_dev;
    identity.inode = file.st_ino;
    return 0;
}

int WaitForProcessExit(int processId, int timeoutMs) {
    const ProcessHandle process = ProcessHandle::Open(processId);
    if (!process)
        return errno == ESRCH ? 0 : errno;
    return process.WaitForExit(timeoutMs);
}

}  // namespace platform
