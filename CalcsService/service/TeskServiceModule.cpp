#include "service/TeskServiceModule.h"

#include <cstdlib>
#include <string>

#include <boost/chrono.hpp>

#include "Logging/Log.h"
#include "service/ModuleInfo.h"

CTeskServiceModule::CTeskServiceModule(const ServiceValues& values, std::chrono::milliseconds mainThreadStopTimeout)
    : platform::CServiceModule(LoadResourceString(100), values.appId),
      m_values(values),
      m_mainThreadStopTimeout(mainThreadStopTimeout) {}

CTeskServiceModule::~CTeskServiceModule() {
    if (m_mainThread.joinable())
        m_mainThread.join();
}

bool CTeskServiceModule::hasUnjoinedMainThread() const {
    return m_mainThread.joinable();
}

int CTeskServiceModule::PreMessageLoop() {
    LOG_SEV(info) << m_values.moduleClassName << "::PreMessageLoop executed";
    m_mainThread = boost::thread(&CTeskServiceModule::runMainThread, this);
    std::unique_lock<std::mutex> lock(m_startupMutex);
    // A stop that comes first does not wait for the server: the message loop then ends at once.
    m_startupChanged.wait(lock, [this] { return m_startup != Startup::Starting || m_bStopRequested; });
    if (m_startup == Startup::Ended) {
        const std::string reason = m_strStartFailure;
        lock.unlock();
        m_mainThread.join();
        SetExitText(reason.empty() ? "the server did not start" : reason);
        return EXIT_FAILURE;
    }
    lock.unlock();
    SetServiceStatus(platform::SERVICE_RUNNING);
    return 0;
}

void CTeskServiceModule::listening() {
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        m_startup = Startup::Listening;
    }
    m_startupChanged.notify_all();
}

void CTeskServiceModule::failed(const std::string& reason) {
    std::lock_guard<std::mutex> lock(m_startupMutex);
    if (m_startup == Startup::Starting)
        m_strStartFailure = reason;
}

void CTeskServiceModule::OnStopRequested() {
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        m_bStopRequested = true;
    }
    m_startupChanged.notify_all();
}

void CTeskServiceModule::runMainThread() {
    m_values.mainThreadFunc(*this);
    bool listened;
    std::string reason;
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        listened = m_startup == Startup::Listening;
        reason = m_strStartFailure;
        m_startup = Startup::Ended;
    }
    if (listened) {
        if (m_bStopping)
            return;
        m_bMainThreadFailed = true;
        LOG_SEV(error) << "Main thread has ended before the service was stopped";
        OnStop();
        return;
    }
    // A server that never listened failed the start, also when a stop came while the main thread was
    // still cleaning up after it: the stop must not turn the failure into success.
    m_bMainThreadFailed = true;
    // The log's last error line then says why the service did not start.
    LOG_SEV(error) << "Main thread has ended before its server listened: "
                   << (reason.empty() ? "no reason given" : reason);
    // PreMessageLoop fails the start (or a stop is on its way already).
    m_startupChanged.notify_all();
}

int CTeskServiceModule::PostMessageLoop() {
    LOG_SEV(info) << m_values.moduleClassName << "::PostMessageLoop is executing";
    m_bStopping = true;
    m_values.stop();
    LOG_SEV(info) << "Wait for main thread has been stopped";
    if (!m_mainThread.try_join_for(boost::chrono::milliseconds(m_mainThreadStopTimeout.count()))) {
        LOG_SEV(warning) << "Main thread stopping timeout";
        // The process ends with the main thread still running: the stop did not finish.
        SetExitText("the main thread did not stop within " + std::to_string(m_mainThreadStopTimeout.count()) + " ms");
        return EXIT_FAILURE;
    }
    LOG_SEV(info) << "Main thread has been stopped";
    if (!m_bMainThreadFailed)
        return 0;
    std::string reason;
    {
        std::lock_guard<std::mutex> lock(m_startupMutex);
        reason = m_strStartFailure;
    }
    if (!reason.empty())
        SetExitText(reason);
    return EXIT_FAILURE;
}

void CTeskServiceModule::OnStatusNotRecorded(unsigned state, int error) {
    // The manager then finds a process gone without SERVICE_STOPPED, and takes it for a crash.
    LOG_SEV(error) << "SetServiceStatus " << state << " failed: " << platform::ServiceErrorText(error) << " (error "
                   << error << ")";
}
