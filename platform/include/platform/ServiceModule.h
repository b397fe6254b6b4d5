// The service-module framework: the program entry of a service executable that either handles a
// registration switch or runs the service, as a service of the service control manager or as a plain
// process, between the two hooks PreMessageLoop and PostMessageLoop.
//
// Switches (after '-' or '/', any letter case; the first match wins, "Service" is looked for last):
//   RegServer          AppID key without "LocalService"; an installed service is removed
//   RegServerPerUser   the same under HKEY_CURRENT_USER\Software\Classes
//   UnregServer        service and AppID key removed
//   UnregServerPerUser the same under HKEY_CURRENT_USER\Software\Classes
//   Service            AppID key with "LocalService" = the service name, and the service installed
//                      (binary path = the executable's full path in double quotes, dependency "RPCSS")
// An installed service is removed only once its process has ended: from the removal's start no start of
// it is accepted, a starting one is waited for until it runs and then stopped; a stop that does not end
// it within 30 s fails the switch and leaves it installed (and startable). When another removal of it is
// under way, the switch waits for that one and says the service was already removed. Each switch that succeeds prints one line on standard output saying what it did, a running
// service it stopped included; one that fails prints on standard error why, with the error number.
// Without a switch the program runs: as a service when HKEY_CLASSES_ROOT\AppID\{AppID} has the value
// "LocalService", else as a plain process. The message loop waits for the stop request, which the stop
// signals (SIGTERM, SIGINT, SIGHUP, SIGQUIT) deliver in both modes; a request that comes before the loop
// waits is kept, not lost. Once a stop was asked for, the status never goes back to SERVICE_RUNNING.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ServiceControl.h"

namespace platform {

class CServiceModule {
public:
    // removalStopLimit: how long the stop of an installed service that a switch removes may take.
    CServiceModule(std::string serviceName, std::string appId,
                   std::chrono::milliseconds removalStopLimit = std::chrono::seconds(30));
    virtual ~CServiceModule();
    CServiceModule(const CServiceModule&) = delete;
    CServiceModule& operator=(const CServiceModule&) = delete;

    // Handles a switch and returns 0, or EXIT_FAILURE once it said why on standard error (an error
    // number does not survive being cut to an exit status); or runs the program and returns its exit
    // code (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when it is installed as a service but was not started
    // by the service manager). args are the arguments without the program name.
    int WinMain(const std::vector<std::string>& args);

    // The stop request: reports SERVICE_STOP_PENDING when running as a service, ends the message loop and
    // tells OnStopRequested.
    void OnStop();

    const std::string& ServiceName() const { return m_strServiceName; }
    bool IsService() const;

protected:
    // Runs before the message loop; a result other than 0 skips the loop and PostMessageLoop.
    virtual int PreMessageLoop();
    // Runs after the message loop has ended; its result is the program's.
    virtual int PostMessageLoop();
    // Runs on the thread of each OnStop call, after the message loop was told to end.
    virtual void OnStopRequested();
    // A status the service could not record (error is the manager's); says so on standard error. Runs
    // under the module's lock: it must not call back into the module.
    virtual void OnStatusNotRecorded(unsigned state, int error);

    // Sets the current state and, when running as a service, reports it to the service manager.
    // SERVICE_RUNNING is not taken once a stop was asked for.
    void SetServiceStatus(unsigned state);
    // Why the service failed, reported along with SERVICE_STOPPED when it ends (one line).
    void SetExitText(const std::string& text);

private:
    using Clock = std::chrono::steady_clock;
    // What removing an installed service took, for the line a switch prints.
    enum class Removal { None, Removed, StoppedAndRemoved, AlreadyRemoved };

    bool ParseCommandLine(const std::vector<std::string>& args, int& result);
    // Says on standard error what failed and why; returns error.
    int Fail(const std::string& what, int error) const;
    // 0, or the errno after a line on standard error that names the root and why it cannot be written.
    int CheckRootWritable() const;
    int RegisterAppId(bool service, bool perUser);
    int UnregisterAppId(bool perUser);
    int Install();
    int Uninstall(Removal& removal);
    // Waits while the service starts, sends the stop and waits until its process has ended, all before
    // the deadline; stopped says whether one ran.
    int StopBeforeRemoval(Clock::time_point deadline, bool& stopped) const;
    // The line a switch prints: what it did, and the service it removed.
    void ReportDone(const char* what, Removal removal) const;
    int Start();
    void ServiceMain();
    int Run();
    void RunMessageLoop();
    void ReportStatusLocked(unsigned state);

    const std::string m_strServiceName;
    const std::string m_strAppId;
    const std::chrono::milliseconds m_removalStopLimit;
    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_quitPosted;
    bool m_bQuit = false;
    bool m_bService = false;
    ServiceStatus m_status;
};

}  // namespace platform
