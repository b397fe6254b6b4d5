#include "platform/ServiceModule.h"

#include <cerrno>
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
    if (int error = Uninstall())
        return error;
    const RegistryHive hive = AppIdHive(perUser);
    const std::string key = AppIdKey(m_strAppId, perUser);
    if (int error = RegCreateKey(hive, key))
        return error;
    const int deleted = RegDeleteValue(hive, key, "LocalService");
    if (deleted && deleted != ENOENT)
        return deleted;
    if (!service)
        return 0;
    if (int error = RegSetStringValue(hive, key, "LocalService", m_strServiceName))
        return error;
    return Install();
}

int CServiceModule::UnregisterAppId(bool perUser) {
    if (int error = CheckRootWritable())
        return error;
    if (int error = Uninstall())
        return error;
    const int error = RegDeleteKey(AppIdHive(perUser), AppIdKey(m_strAppId, perUser));
    return error == ENOENT ? 0 : error;
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

int CServiceModule::Uninstall() {
    if (!ServiceExists(m_strServiceName))
        return 0;
    if (int error = OpenServiceManager()) {
        ShowMessage("Could not open Service Manager");
        return error;
    }
    ServiceStatus status;
    ControlStopService(m_strServiceName, status);  // refused when it is not running: nothing to stop
    if (int error = DeleteService(m_strServiceName)) {
        ShowMessage("Service could not be deleted");
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
