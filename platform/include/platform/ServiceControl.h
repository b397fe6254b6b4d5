// The service control manager: a table of installed services in the registry
// (HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name>: "ImagePath", "DisplayName",
// "DependOnService") and one status record per service (<root>/services/<name>.status) that the running
// service writes itself through the service-module framework. Every reader and writer of a record takes
// the service's lock file (<root>/services/<name>.lock), so records never tear and a start is never
// raced by another start.
//
// Functions return 0 or an error number: the Windows numbers below for the manager's own refusals, an
// errno value for a failed system call (ENOENT is 2 on both systems).
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace platform {

constexpr int ERROR_INVALID_NAME = 123;
constexpr int ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
constexpr int ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr int ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr int ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr int ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr int ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
constexpr int ERROR_PROCESS_ABORTED = 1067;
constexpr int ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
constexpr int ERROR_SERVICE_EXISTS = 1073;

enum ServiceState : unsigned {
    SERVICE_STOPPED = 1,
    SERVICE_START_PENDING = 2,
    SERVICE_STOP_PENDING = 3,
    SERVICE_RUNNING = 4,
    SERVICE_CONTINUE_PENDING = 5,
    SERVICE_PAUSE_PENDING = 6,
    SERVICE_PAUSED = 7,
};

struct ServiceStatus {
    unsigned currentState = SERVICE_STOPPED;
    unsigned win32ExitCode = 0;
    unsigned checkPoint = 0;
    unsigned waitHint = 0;
    int processId = 0;  // 0 while stopped
    std::string exitText;  // why a service that failed stopped, in one line; empty otherwise
};

// What an error number of these functions means, in one sentence.
std::string ServiceErrorText(int error);

// Makes sure the manager's state folder exists and can be written.
int OpenServiceManager();

// Whether a service of that name (any letter case) is installed.
bool ServiceExists(const std::string& name);

// 0 when the service is installed, ERROR_SERVICE_DOES_NOT_EXIST when it is not, ERROR_INVALID_NAME, or
// the errno for which the table of services cannot be read (ENOTDIR when the registry's folder is a
// file).
int OpenService(const std::string& name);

// Installs a service: binaryPath is its command line (the executable in double quotes, arguments
// after it). ERROR_SERVICE_EXISTS when one of that name is installed.
int CreateService(const std::string& name, const std::string& displayName, const std::string& binaryPath,
                  const std::vector<std::string>& dependencies);

// Removes the service from the table. Checked under the service's lock, just before: no process of it
// runs (ERROR_SERVICE_ALREADY_RUNNING otherwise) and no other process's removal is under way
// (ERROR_SERVICE_MARKED_FOR_DELETE).
int DeleteService(const std::string& name);

// Marks the service for deletion by this process: until it is deleted, or the mark is lifted, every
// start is refused with ERROR_SERVICE_MARKED_FOR_DELETE. While another process's removal holds the mark,
// waits, at most limit: ERROR_SERVICE_DOES_NOT_EXIST once that removal has deleted the service,
// ERROR_SERVICE_MARKED_FOR_DELETE when it still holds the mark. A mark whose process has ended counts
// for nothing.
int MarkServiceForDelete(const std::string& name, std::chrono::milliseconds limit);

// Lifts this process's mark, after a removal that failed: the service starts again.
int UnmarkServiceForDelete(const std::string& name);

// The service's status. The record names its process by pid, start time and the device and inode of
// the file it was started from (which a renamed or deleted file keeps), and is the service's own only
// when written for the program installed for that name; a process that does not match is not the
// service's (the pid was reused, or the record is another's or damaged). A record whose process has
// ended, or is not the service's, without SERVICE_STOPPED is turned into SERVICE_STOPPED with
// ERROR_PROCESS_ABORTED. A process the caller may not inspect makes the state unknown: EACCES, and the
// record stays as it is.
int QueryServiceStatus(const std::string& name, ServiceStatus& status);

// Starts the service's binary detached (working folder "/", descriptors 0-2 on /dev/null), records it as
// SERVICE_START_PENDING with its pid and returns; the service reports SERVICE_RUNNING itself.
// ERROR_SERVICE_ALREADY_RUNNING unless the service is stopped, ERROR_SERVICE_MARKED_FOR_DELETE while a
// removal is under way. Dependencies are recorded but not started.
int StartService(const std::string& name);

// Sends the service's process SIGTERM (the service-module framework turns it into its stop request),
// only once QueryServiceStatus's rule confirms it is the service's, and waits until the service acknowledges by leaving SERVICE_RUNNING, at most limit
// (ERROR_SERVICE_REQUEST_TIMEOUT). ERROR_SERVICE_NOT_ACTIVE when stopped, ERROR_SERVICE_CANNOT_ACCEPT_CTRL
// while start or stop is pending. status receives the last status read.
int ControlStopService(const std::string& name, ServiceStatus& status,
                       std::chrono::milliseconds limit = std::chrono::seconds(30));

// Polls the status until the service is no longer on its way to target: while start is pending for
// SERVICE_RUNNING, until stopped for SERVICE_STOPPED. ERROR_SERVICE_REQUEST_TIMEOUT when it is still on its
// way after limit. status receives the last status read.
int WaitForServiceState(const std::string& name, unsigned target, ServiceStatus& status,
                        std::chrono::milliseconds limit);

// The installed services that are not stopped and name this one among their dependencies (direct
// dependents only).
int EnumDependentServices(const std::string& name, std::vector<std::string>& activeDependents);

// For the service process: 0 when the manager started this very process as the service, else
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT (the program was run some other way).
int ConnectServiceController(const std::string& name);

// For the service process: records its own status (the pid, start time, the file it runs and the
// program installed for the service are filled in; none once stopped).
int SetServiceStatus(const std::string& name, const ServiceStatus& status);

}  // namespace platform
