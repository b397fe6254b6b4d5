#include "platform/ServiceModule.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "Text.h"
#include "platform/ModulePath.h"
#include "platform/PlatformRoot.h"
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

// As long as a stop through the service manager may take.
const auto kRemovalStopLimit = std::chrono::seconds(30);

}  // namespace

CServiceModule::CServiceModule(std::string serviceName, std::string appId)
    : m_strServiceName(std::move(serviceName)), m_strAppId(std::move(appId)) {}

CServiceModule::~CServiceModule() = default;

int CServiceModule::WinMain(const std::vector<std::string>& args) {
    int result = 0;
    if (!ParseCommandLine(args, result))
        return result;
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
    if (m_bService)
        platform::SetServiceStatus(m_strServiceName, m_status);
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
        return error;
    const int deleted = RegDeleteValue(hive, key, "LocalService");
    if (deleted && deleted != ENOENT)
        return deleted;
    if (!service) {
        ReportDone("registered to run as a plain process", removal);
        return 0;
    }
    if (int error = RegSetStringValue(hive, key, "LocalService", m_strServiceName))
        return error;
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
        return error;
    ReportDone("unregistered", removal);
    return 0;
}

void CServiceModule::ReportDone(const char* what, Removal removal) const {
    const char* const removed[] = {"", "; the installed service was removed",
                                   "; the running service was stopped and removed"};
    std::printf("%s: %s%s\n", m_strServiceName.c_str(), what, removed[static_cast<int>(removal)]);
}

int CServiceModule::Install() {
    if (ServiceExists(m_strServiceName))
        return 0;
    if (int error = OpenServiceManager()) {
        ShowMessage("Could not open Service Manager");
        return error;
    }
    if (int error = CreateService(m_strServiceName, m_strServiceName, "\"" + ModulePath() + "\"", {"RPCSS"})) {
        ShowMessage("Could not start service");
        return error;
    }
    return 0;
}

int CServiceModule::Uninstall(Removal& removal) {
    removal = Removal::None;
    if (!ServiceExists(m_strServiceName))
        return 0;
    if (int error = OpenServiceManager()) {
        ShowMessage("Could not open Service Manager");
        return error;
    }
    bool stopped = false;
    if (int error = StopBeforeRemoval(stopped))
        return error;
    if (int error = DeleteService(m_strServiceName)) {
        ShowMessage("Service could not be deleted");
        return error;
    }
    removal = stopped ? Removal::StoppedAndRemoved : Removal::Removed;
    return 0;
}

int CServiceModule::StopBeforeRemoval(bool& stopped) const {
    ServiceStatus status;
    // Refused when it is not running; one that is stopping already is waited for all the same.
    const int refused = ControlStopService(m_strServiceName, status);
    stopped = !refused || status.currentState == SERVICE_STOP_PENDING;
    if (!stopped)
        return 0;
    // Its process still holds the service's port and files until it has stopped.
    if (int error = WaitForServiceState(m_strServiceName, SERVICE_STOPPED, status, kRemovalStopLimit)) {
        std::fprintf(stderr, "%s: the service did not stop within %lld s, so it stays installed (error %d)\n",
                     m_strServiceName.c_str(), static_cast<long long>(kRemovalStopLimit.count()), error);
        return error;
    }
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

void CServiceModule::ShowMessage(const char* text) const {
    std::fprintf(stderr, "%s: %s\n", m_strServiceName.c_str(), text);
}

}  // namespace platform
