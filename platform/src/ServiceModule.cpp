#include "platform/ServiceModule.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Text.h"
#include "platform/ModulePath.h"
#include "platform/PlatformRoot.h"
#include "platform/ProcessHandle.h"
#include "platform/Registry.h"
#include "platform/StopSignals.h"

namespace platform {

namespace {

RegistryHive AppIdHive(bool perUser) {
    return perUser ? RegistryHive::CurrentUser : RegistryHive::ClassesRoot;
}

std::string AppIdKey(const std::string& appId, bool perUser) {
    return std::string(perUser ? "Software\\Classes\\AppID\\" : "AppID\\") + appId;
}

bool IsSwitch(const std::string& arg, const char* name) {
    return arg.size() > 1 && (arg[0] == '-' || arg[0] == '/') && detail::EqualNoCase(arg.substr(1), name);
}

}  // namespace

CServiceModule::CServiceModule(std::string serviceName, std::string appId,
                               std::chrono::milliseconds removalStopLimit)
    : m_strServiceName(std::move(serviceName)), m_strAppId(std::move(appId)), m_removalStopLimit(removalStopLimit) {}

CServiceModule::~CServiceModule() = default;

int CServiceModule::WinMain(const std::vector<std::string>& args) {
    int result = 0;
    if (!ParseCommandLine(args, result))
        // The switch said why it failed; its error number would change meaning when cut to 8 bits.
        return result == 0 ? 0 : EXIT_FAILURE;
    return Start();
}

void CServiceModule::OnStop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bService)
            ReportStatusLocked(SERVICE_STOP_PENDING);
        m_bQuit = true;
    }
    m_quitPosted.notify_all();
    OnStopRequested();
}

bool CServiceModule::IsService() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bService;
}

int CServiceModule::PreMessageLoop() {
    return 0;
}

int CServiceModule::PostMessageLoop() {
    return 0;
}

void CServiceModule::OnStopRequested() {}

void CServiceModule::OnStatusNotRecorded(unsigned state, int error) {
    std::fprintf(stderr, "%s: status %u not recorded: %s (error %d)\n", m_strServiceName.c_str(), state,
                 ServiceErrorText(error).c_str(), error);
}

void CServiceModule::SetExitText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.exitText = text;
}

void CServiceModule::SetServiceStatus(unsigned state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ReportStatusLocked(state);
}

void CServiceModule::ReportStatusLocked(unsigned state) {
    // A stop asked for while starting stands: the service goes on from stop-pending to stopped.
    if (m_bQuit && (state == SERVICE_START_PENDING || state == SERVICE_RUNNING))
        return;
    m_status.currentState = state;
    if (!m_bService)
        return;
    if (int error = platform::SetServiceStatus(m_strServiceName, m_status))
        OnStatusNotRecorded(state, error);
}

bool CServiceModule::ParseCommandLine(const std::vector<std::string>& args, int& result) {
    for (const auto& arg : args) {
        if (IsSwitch(arg, "UnregServer")) {
            result = UnregisterAppId(false);
            return false;
        }
        if (IsSwitch(arg, "RegServer")) {
            result = RegisterAppId(false, false);
            return false;
        }
        if (IsSwitch(arg, "UnregServerPerUser")) {
            result = UnregisterAppId(true);
            return false;
        }
        if (IsSwitch(arg, "RegServerPerUser")) {
            result = RegisterAppId(false, true);
            return false;
        }
    }
    for (const auto& arg : args) {
        if (IsSwitch(arg, "Service")) {
            result = RegisterAppId(true, false);
            return false;
        }
    }
    return true;
}

int CServiceModule::Fail(const std::string& what, int error) const {
    std::fprintf(stderr, "%s: %s: %s (error %d)\n", m_strServiceName.c_str(), what.c_str(),
                 ServiceErrorText(error).c_str(), error);
    return error;
}

int CServiceModule::CheckRootWritable() const {
    const int error = CheckPlatformRootWritable();
    if (error)
        std::fprintf(stderr, "%s: platform root %s is not writable: %s (error %d)\n", m_strServiceName.c_str(),
                     PlatformRoot().c_str(), std::strerror(error), error);
    return error;
}

int CServiceModule::RegisterAppId(bool service, bool perUser) {
    if (int error = CheckRootWritable())
        return error;
    Removal removal;
    if (int error = Uninstall(removal))
        return error;
    const RegistryHive hive = AppIdHive(perUser);
    const std::string key = AppIdKey(m_strAppId, perUser);
    if (int error = RegCreateKey(hive, key))
        return Fail("cannot create the AppID key", error);
    const int deleted = RegDeleteValue(hive, key, "LocalService");
    if (deleted && deleted != ENOENT)
        return Fail("cannot delete the AppID's LocalService value", deleted);
    if (!service) {
        ReportDone("registered to run as a plain process", removal);
        return 0;
    }
    if (int error = RegSetStringValue(hive, key, "LocalService", m_strServiceName))
        return Fail("cannot set the AppID's LocalService value", error);
    if (int error = Install())
        return error;
    if (removal == Removal::StoppedAndRemoved)
        std::printf("%s: installed as a service; the running service was stopped to reinstall it, start it again "
                    "with: tesksc start %s\n",
                    m_strServiceName.c_str(), m_strServiceName.c_str());
    else
        std::printf("%s: installed as a service\n", m_strServiceName.c_str());
    return 0;
}

int CServiceModule::UnregisterAppId(bool perUser) {
    if (int error = CheckRootWritable())
        return error;
    Removal removal;
    if (int error = Uninstall(removal))
        return error;
    const int error = RegDeleteKey(AppIdHive(perUser), AppIdKey(m_strAppId, perUser));
    if (error && error != ENOENT)
        return Fail("cannot delete the AppID key", error);
    ReportDone("unregistered", removal);
    return 0;
}

void CServiceModule::ReportDone(const char* what, Removal removal) const {
    const char* const removed[] = {"", "; the installed service was removed",
                                   "; the running service was stopped and removed",
                                   "; the service was already removed"};
    std::printf("%s: %s%s\n", m_strServiceName.c_str(), what, removed[static_cast<int>(removal)]);
}

int CServiceModule::Install() {
    if (ServiceExists(m_strServiceName))
        return 0;
    if (int error = OpenServiceManager())
        return Fail("Could not open Service Manager", error);
    if (int error = CreateService(m_strServiceName, m_strServiceName, "\"" + ModulePath() + "\"", {"RPCSS"}))
        return Fail("Could not start service", error);
    return 0;
}

int CServiceModule::Uninstall(Removal& removal) {
    removal = Removal::None;
    const int installed = OpenService(m_strServiceName);
    if (installed == ERROR_SERVICE_DOES_NOT_EXIST)
        return 0;
    if (installed)
        return Fail("Could not open the service", installed);
    if (int error = OpenServiceManager())
        return Fail("Could not open Service Manager", error);
    // From the mark on no start is accepted, so the process stopped below is the service's last.
    const auto deadline = Clock::now() + m_removalStopLimit;
    const int marked = MarkServiceForDelete(m_strServiceName, m_removalStopLimit);
    if (marked == ERROR_SERVICE_DOES_NOT_EXIST) {
        removal = Removal::AlreadyRemoved;
        return 0;
    }
    if (marked)
        return Fail("the service could not be marked for deletion, so it stays installed", marked);
    bool stopped = false;
    int error = StopBeforeRemoval(deadline, stopped);
    if (!error && (error = DeleteService(m_strServiceName)) != 0)
        Fail("Service could not be deleted", error);
    if (error) {
        UnmarkServiceForDelete(m_strServiceName);
        return error;
    }
    removal = stopped ? Removal::StoppedAndRemoved : Removal::Removed;
    return 0;
}

int CServiceModule::StopBeforeRemoval(Clock::time_point deadline, bool& stopped) const {
    const auto timeLeft = [&] {
        return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                        std::chrono::milliseconds(0));
    };
    stopped = false;
    ServiceStatus status;
    // A starting service takes the stop only once it runs.
    int error = WaitForServiceState(m_strServiceName, SERVICE_RUNNING, status, timeLeft());
    const int processId = status.processId;
    if (!error && status.currentState != SERVICE_STOPPED) {
        stopped = true;
        // Held from here: the process ends after it reports SERVICE_STOPPED, and its pid may be reused.
        const ProcessHandle process = ProcessHandle::Open(processId);
        error = ControlStopService(m_strServiceName, status, timeLeft());
        // Refused as already stopping, or as stopped: it stopped, or began to, on its own.
        if (error == ERROR_SERVICE_NOT_ACTIVE || error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            error = 0;
        if (!error)
            error = WaitForServiceState(m_strServiceName, SERVICE_STOPPED, status, timeLeft());
        // Its process still holds the service's port and files until it has ended.
        if (!error && process) {
            error = process.WaitForExit(static_cast<int>(timeLeft().count()));
            if (error == ETIMEDOUT)
                error = ERROR_SERVICE_REQUEST_TIMEOUT;
        }
    }
    const std::string process =
        processId > 0 ? "the service (process " + std::to_string(processId) + ")" : std::string("the service");
    if (error == ERROR_SERVICE_REQUEST_TIMEOUT)
        return Fail(process + " did not stop within " + std::to_string(m_removalStopLimit.count()) +
                        " ms, so it stays installed",
                    error);
    if (error)
        return Fail("cannot tell whether " + process + " runs, or stop it, so it stays installed", error);
    return 0;
}

int CServiceModule::Start() {
    // Still the only thread: this look-up makes the process's first PlatformRoot() call at the latest.
    std::string value;
    const bool service =
        RegQueryStringValue(AppIdHive(false), AppIdKey(m_strAppId, false), "LocalService", value) == 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bService = service;
    }
    if (service) {
        if (int error = CheckRootWritable())
            return error;
        if (int error = ConnectServiceController(m_strServiceName)) {
            std::fprintf(stderr, "%s: installed as a service but not started by the service manager (error %d)\n",
                         m_strServiceName.c_str(), error);
            return error;
        }
    }
    // Stop signals that came before stay pending until the watcher takes them.
    CStopSignalWatcher watcher([this] { OnStop(); });
    if (!service) {
        const int result = Run();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_status.win32ExitCode = static_cast<unsigned>(result);
        return result;
    }
    ServiceMain();
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_status.win32ExitCode);
}

void CServiceModule::ServiceMain() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_status.win32ExitCode = 0;
        m_status.exitText.clear();
        m_status.checkPoint = 0;
        m_status.waitHint = 0;
        ReportStatusLocked(SERVICE_START_PENDING);
    }
    const int result = Run();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.win32ExitCode = static_cast<unsigned>(result);
    ReportStatusLocked(SERVICE_STOPPED);
}

int CServiceModule::Run() {
    int result = PreMessageLoop();
    if (result == 0) {
        RunMessageLoop();
        result = PostMessageLoop();
    }
    return result;
}

void CServiceModule::RunMessageLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_quitPosted.wait(lock, [this] { return m_bQuit; });
}

}  // namespace platform
