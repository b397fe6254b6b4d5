#include "platform/ServiceControl.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "BeneathRoot.h"
#include "FileLock.h"
#include "Text.h"
#include "platform/AtomicFile.h"
#include "platform/ProcessHandle.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace platform {

namespace {

const char* const kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
// The mark of a removal under way: "<pid> <start time>" of the process removing the service.
const char* const kDeleteFlag = "DeleteFlag";
const unsigned kStartWaitHintMs = 2000;
const auto kPollInterval = std::chrono::milliseconds(10);

bool IsValidServiceName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string ServiceKey(const std::string& name) {
    return std::string(kServicesKey) + "\\" + name;
}

// <root>/services, made when missing; a link in its place is refused (ELOOP), never followed.
int OpenStateFolder(detail::CDescriptor& folder) {
    return detail::OpenRootFolder("services", true, folder);
}

// The state folder, which the caller must be able to change: the service manager's first step.
int OpenWritableStateFolder(detail::CDescriptor& folder) {
    if (int error = OpenStateFolder(folder))
        return error;
    return ::faccessat(folder.Get(), ".", W_OK | X_OK, 0) == 0 ? 0 : errno;
}

// Record and lock files use the lower-cased name: service names ignore case.
std::string StateFile(const std::string& name, const char* extension) {
    return detail::ToLowerAscii(name) + extension;
}

// Holds the service's lock file for its lifetime; blocks until the lock is free.
class CServiceLock {
public:
    explicit CServiceLock(const std::string& name) {
        m_nError = OpenWritableStateFolder(m_folder);
        if (m_nError)
            return;
        m_lock.emplace(m_folder.Get(), StateFile(name, ".lock"));
        m_nError = m_lock->Error();
    }

    int Error() const { return m_nError; }

private:
    int m_nError = 0;
    detail::CDescriptor m_folder;
    std::optional<detail::CFileLock> m_lock;
};

int ReadStatusFile(const std::string& name, std::string& text) {
    detail::CDescriptor folder;
    if (int error = OpenStateFolder(folder))
        return error;
    return ReadWholeFileAt(folder.Get(), StateFile(name, ".status"), text);
}

int WriteStatusFile(const std::string& name, const std::string& text) {
    detail::CDescriptor folder;
    if (int error = OpenStateFolder(folder))
        return error;
    return WriteFileAtomicallyAt(folder.Get(), StateFile(name, ".status"), text);
}

struct StatusRecord {
    ServiceStatus status;
    std::uint64_t startTime = 0;  // with the pid, names the process across pid reuse
    std::string exe;              // the program installed for the service when the record was written
    FileIdentity exeIdentity;     // the file the process runs; none in records written before it was kept
};

StatusRecord ReadRecord(const std::string& name) {
    StatusRecord record;
    std::string text;
    if (ReadStatusFile(name, text) != 0)
        return record;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        if (key == "exitText" || key == "exe") {
            (key == "exe" ? record.exe : record.status.exitText) = line.substr(equals + 1);
            continue;
        }
        std::istringstream value(line.substr(equals + 1));
        if (key == "state")
            value >> record.status.currentState;
        else if (key == "exitCode")
            value >> record.status.win32ExitCode;
        else if (key == "checkPoint")
            value >> record.status.checkPoint;
        else if (key == "waitHint")
            value >> record.status.waitHint;
        else if (key == "pid")
            value >> record.status.processId;
        else if (key == "startTime")
            value >> record.startTime;
        else if (key == "exeDevice")
            value >> record.exeIdentity.device;
        else if (key == "exeInode")
            value >> record.exeIdentity.inode;
    }
    return record;
}

int WriteRecord(const std::string& name, const StatusRecord& record) {
    // One line per field: a line break in the text would end it early.
    std::string exitText = record.status.exitText;
    for (char& c : exitText)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::ostringstream text;
    text << "state=" << record.status.currentState << "\nexitCode=" << record.status.win32ExitCode
         << "\ncheckPoint=" << record.status.checkPoint << "\nwaitHint=" << record.status.waitHint
         << "\npid=" << record.status.processId << "\nstartTime=" << record.startTime << "\nexe=" << record.exe
         << "\nexeDevice=" << record.exeIdentity.device << "\nexeInode=" << record.exeIdentity.inode
         << "\nexitText=" << exitText << "\n";
    return WriteStatusFile(name, text.str());
}

// Splits a binary path: the quoted or first blank-delimited word is the program, the rest arguments.
void SplitCommandLine(const std::string& commandLine, std::string& program, std::vector<std::string>& args) {
    std::size_t rest;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const auto close = commandLine.find('"', 1);
        program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        rest = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        rest = commandLine.find_first_of(" \t");
        program = commandLine.substr(0, rest);
    }
    std::istringstream words(rest < commandLine.size() ? commandLine.substr(rest) : std::string());
    for (std::string word; words >> word;)
        args.push_back(word);
}

// The program the service is installed to run, as its command line names it; empty when unknown.
std::string InstalledProgram(const std::string& name) {
    std::string commandLine;
    if (RegQueryStringValue(RegistryHive::LocalMachine, ServiceKey(name), "ImagePath", commandLine) != 0)
        return std::string();
    std::string program;
    std::vector<std::string> args;
    SplitCommandLine(commandLine, program, args);
    return program;
}

// The file the record's process must run: the one the record names, provided the record was written
// for the program installed for this service (a record copied from another service is not); for an
// older record that names no file, the installed program's file as it is now. False when none.
bool ExpectedExeIdentity(const std::string& name, const StatusRecord& record, FileIdentity& identity) {
    const std::string installed = InstalledProgram(name);
    if (installed.empty())
        return false;
    if (record.exeIdentity.inode != 0) {
        identity = record.exeIdentity;
        return record.exe == installed;
    }
    struct stat file {};
    if (::stat(installed.c_str(), &file) != 0)
        return false;
    identity = {static_cast<std::uint64_t>(file.st_dev), static_cast<std::uint64_t>(file.st_ino)};
    return true;
}

// Holds the record's process when it runs and is the service's: the pid with the recorded start time,
// running the recorded file (by device and inode, which a rename or a delete of the file leaves as they
// are). 0 when it is; ESRCH when the record names no process of the service (a record with no start
// time names none for sure); EACCES, or another errno, when the process cannot be inspected, so that
// nobody can tell.
int OpenServiceProcess(const std::string& name, const StatusRecord& record, ProcessHandle& process) {
    const int pid = record.status.processId;
    if (record.startTime == 0 || !IsProcessAlive(pid, record.startTime))
        return ESRCH;
    ProcessHandle held = ProcessHandle::Open(pid);
    if (!held)
        return ESRCH;
    FileIdentity running;
    if (int error = ProcessExeIdentity(pid, running))
        return error;
    FileIdentity expected;
    if (!ExpectedExeIdentity(name, record, expected) || !(running == expected))
        return ESRCH;
    // Still running once read, with the same start time: what was read is the held process's.
    if (!IsProcessAlive(pid, record.startTime) || !held.IsRunning())
        return ESRCH;
    process = std::move(held);
    return 0;
}

// The record as it stands, with a process that ended, or is not the service's, turned into a stop;
// with process, the service's running process is held there. 0, or the errno for which the process
// cannot be inspected: then nothing is rewritten. Call under the service's lock.
int CurrentRecord(const std::string& name, StatusRecord& record, ProcessHandle* process = nullptr) {
    record = ReadRecord(name);
    if (record.status.currentState == SERVICE_STOPPED)
        return 0;
    ProcessHandle held;
    const int error = OpenServiceProcess(name, record, held);
    if (error == ESRCH) {
        record = StatusRecord();
        record.status.win32ExitCode = ERROR_PROCESS_ABORTED;
        WriteRecord(name, record);
        return 0;
    }
    if (process)
        *process = std::move(held);
    return error;
}

// The pid of the process whose removal of the service is under way, 0 when none is: a mark left by a
// process that has ended counts for nothing.
int RemovingProcess(const std::string& name) {
    std::string mark;
    if (RegQueryStringValue(RegistryHive::LocalMachine, ServiceKey(name), kDeleteFlag, mark) != 0)
        return 0;
    int pid = 0;
    std::uint64_t startTime = 0;
    std::istringstream(mark) >> pid >> startTime;
    return startTime != 0 && IsProcessAlive(pid, startTime) ? pid : 0;
}

// Whether another process's removal of the service is under way.
bool RemovedByAnother(const std::string& name) {
    const int remover = RemovingProcess(name);
    return remover != 0 && remover != ::getpid();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// 0 when the registry's folder is one or does not exist yet, else why it cannot be one.
int RegistryFolderError() {
    detail::CDescriptor folder;
    const int error = detail::OpenRootFolder("registry", false, folder);
    return error == ENOENT ? 0 : error;
}

}  // namespace

std::string ServiceErrorText(int error) {
    switch (error) {
    case ERROR_INVALID_NAME:
        return "The name is invalid.";
    case ERROR_SERVICE_REQUEST_TIMEOUT:
        return "The service did not respond to the start or control request in a timely fashion.";
    case ERROR_SERVICE_ALREADY_RUNNING:
        return "An instance of the service is already running.";
    case ERROR_SERVICE_DOES_NOT_EXIST:
        return "The specified service does not exist as an installed service.";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
        return "The service cannot accept control messages at this time.";
    case ERROR_SERVICE_NOT_ACTIVE:
        return "The service has not been started.";
    case ERROR_FAILED_SERVICE_CONTROLLER_CONNECT:
        return "The service process could not connect to the service controller.";
    case ERROR_PROCESS_ABORTED:
        return "The process terminated unexpectedly.";
    case ERROR_SERVICE_MARKED_FOR_DELETE:
        return "The specified service has been marked for deletion.";
    case ERROR_SERVICE_EXISTS:
        return "The specified service already exists.";
    default:
        return std::strerror(error);
    }
}

int OpenServiceManager() {
    detail::CDescriptor folder;
    return OpenWritableStateFolder(folder);
}

bool ServiceExists(const std::string& name) {
    return IsValidServiceName(name) && RegKeyExists(RegistryHive::LocalMachine, ServiceKey(name));
}

int OpenService(const std::string& name) {
    if (!IsValidServiceName(name))
        return ERROR_INVALID_NAME;
    if (ServiceExists(name))
        return 0;
    // A registry that cannot be read looks empty: say why instead of "not installed".
    const int error = RegistryFolderError();
    return error ? error : ERROR_SERVICE_DOES_NOT_EXIST;
}

int CreateService(const std::string& name, const std::string& displayName, const std::string& binaryPath,
                  const std::vector<std::string>& dependencies) {
    if (!IsValidServiceName(name))
        return ERROR_INVALID_NAME;
    if (ServiceExists(name))
        return ERROR_SERVICE_EXISTS;
    std::string dependOn;
    for (const auto& dependency : dependencies)
        dependOn += dependency + "\n";
    const std::string key = ServiceKey(name);
    int error = RegSetStringValue(RegistryHive::LocalMachine, key, "ImagePath", binaryPath);
    if (!error)
        error = RegSetStringValue(RegistryHive::LocalMachine, key, "DisplayName", displayName);
    if (!error && !dependOn.empty())
        error = RegSetStringValue(RegistryHive::LocalMachine, key, "DependOnService", dependOn);
    if (error)
        RegDeleteKey(RegistryHive::LocalMachine, key);
    return error;
}

int DeleteService(const std::string& name) {
    if (int error = OpenService(name))
        return error;
    // Checked again under the lock, which every start holds from its check to its record.
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    if (!ServiceExists(name))
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (RemovedByAnother(name))
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    StatusRecord record;
    if (int error = CurrentRecord(name, record))
        return error;
    if (record.status.currentState != SERVICE_STOPPED)
        return ERROR_SERVICE_ALREADY_RUNNING;
    return RegDeleteKey(RegistryHive::LocalMachine, ServiceKey(name));
}

int MarkServiceForDelete(const std::string& name, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (int error = OpenService(name))
            return error;
        {
            CServiceLock lock(name);
            if (lock.Error())
                return lock.Error();
            // Removed while the lock was waited for: setting the value would create the key again.
            if (!ServiceExists(name))
                return ERROR_SERVICE_DOES_NOT_EXIST;
            if (!RemovedByAnother(name)) {
                const std::string mark =
                    std::to_string(::getpid()) + " " + std::to_string(ProcessStartTime(::getpid()));
                return RegSetStringValue(RegistryHive::LocalMachine, ServiceKey(name), kDeleteFlag, mark);
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return ERROR_SERVICE_MARKED_FOR_DELETE;
        std::this_thread::sleep_for(kPollInterval);
    }
}

int UnmarkServiceForDelete(const std::string& name) {
    if (int error = OpenService(name))
        return error;
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    if (RemovingProcess(name) != ::getpid())
        return 0;
    return RegDeleteValue(RegistryHive::LocalMachine, ServiceKey(name), kDeleteFlag);
}

int QueryServiceStatus(const std::string& name, ServiceStatus& status) {
    if (int error = OpenService(name))
        return error;
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    StatusRecord record;
    if (int error = CurrentRecord(name, record))
        return error;
    status = record.status;
    return 0;
}

int StartService(const std::string& name) {
    if (int error = OpenService(name))
        return error;
    // The lock is held from the state check to the pending record, so the new process (which waits for
    // the lock in ConnectServiceController) always finds its own record, and two starts never both run.
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    // Removed, or marked for removal, while the lock was waited for; no removal deletes it from here on.
    if (!ServiceExists(name))
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (RemovingProcess(name) != 0)
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    std::string commandLine;
    if (int error = RegQueryStringValue(RegistryHive::LocalMachine, ServiceKey(name), "ImagePath", commandLine))
        return error;
    std::string program;
    std::vector<std::string> args;
    SplitCommandLine(commandLine, program, args);
    StatusRecord current;
    if (int error = CurrentRecord(name, current))
        return error;
    if (current.status.currentState != SERVICE_STOPPED)
        return ERROR_SERVICE_ALREADY_RUNNING;
    int processId = 0;
    if (int error = SpawnDetached(program, args, "/", processId, SpawnStdio::Null))
        return error;
    StatusRecord record;
    record.status.currentState = SERVICE_START_PENDING;
    record.status.waitHint = kStartWaitHintMs;
    record.status.processId = processId;
    record.startTime = ProcessStartTime(processId);
    record.exe = program;
    ProcessExeIdentity(processId, record.exeIdentity);
    return WriteRecord(name, record);
}

int ControlStopService(const std::string& name, ServiceStatus& status, std::chrono::milliseconds limit) {
    if (int error = OpenService(name))
        return error;
    {
        CServiceLock lock(name);
        if (lock.Error())
            return lock.Error();
        StatusRecord record;
        ProcessHandle process;
        if (int error = CurrentRecord(name, record, &process))
            return error;
        status = record.status;
        switch (status.currentState) {
        case SERVICE_STOPPED:
            return ERROR_SERVICE_NOT_ACTIVE;
        case SERVICE_START_PENDING:
        case SERVICE_STOP_PENDING:
            return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        default:
            break;
        }
        if (int error = process.Signal(SIGTERM))
            return error;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
        if (int error = QueryServiceStatus(name, status))
            return error;
        if (status.currentState != SERVICE_RUNNING)
            return 0;
    }
    return ERROR_SERVICE_REQUEST_TIMEOUT;
}

int WaitForServiceState(const std::string& name, unsigned target, ServiceStatus& status,
                        std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (int error = QueryServiceStatus(name, status))
            return error;
        const bool onItsWay = target == SERVICE_RUNNING ? status.currentState == SERVICE_START_PENDING
                                                        : status.currentState != SERVICE_STOPPED;
        if (!onItsWay)
            return 0;
        if (std::chrono::steady_clock::now() >= deadline)
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        std::this_thread::sleep_for(kPollInterval);
    }
}

int EnumDependentServices(const std::string& name, std::vector<std::string>& activeDependents) {
    if (int error = OpenService(name))
        return error;
    std::vector<std::string> services;
    if (int error = RegEnumSubKeys(RegistryHive::LocalMachine, kServicesKey, services))
        return error;
    std::vector<std::string> found;
    for (const auto& service : services) {
        std::string dependOn;
        if (RegQueryStringValue(RegistryHive::LocalMachine, ServiceKey(service), "DependOnService", dependOn) != 0)
            continue;
        bool depends = false;
        for (const auto& dependency : SplitLines(dependOn))
            depends = depends || detail::EqualNoCase(dependency, name);
        ServiceStatus status;
        if (depends && QueryServiceStatus(service, status) == 0 && status.currentState != SERVICE_STOPPED)
            found.push_back(service);
    }
    activeDependents.swap(found);
    return 0;
}

int ConnectServiceController(const std::string& name) {
    if (int error = OpenService(name))
        return error;
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    const StatusRecord record = ReadRecord(name);
    const bool startedByManager =
        record.status.currentState == SERVICE_START_PENDING && record.status.processId == ::getpid();
    return startedByManager ? 0 : ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
}

int SetServiceStatus(const std::string& name, const ServiceStatus& status) {
    if (!IsValidServiceName(name))
        return ERROR_INVALID_NAME;
    CServiceLock lock(name);
    if (lock.Error())
        return lock.Error();
    StatusRecord record;
    record.status = status;
    const bool stopped = status.currentState == SERVICE_STOPPED;
    record.status.processId = stopped ? 0 : ::getpid();
    record.startTime = stopped ? 0 : ProcessStartTime(::getpid());
    if (!stopped) {
        record.exe = InstalledProgram(name);
        ProcessExeIdentity(::getpid(), record.exeIdentity);
    }
    return WriteRecord(name, record);
}

}  // namespace platform
