#include "service/TeskServiceModule.h"

#include <cstdlib>

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
    SetServiceStatus(platform::SERVICE_RUNNING);
    m_mainThread = boost::thread(&CTeskServiceModule::runMainThread, this);
    return 0;
}

void CTeskServiceModule::runMainThread() {
    m_values.mainThreadFunc();
    if (m_bStopping)
        return;
    LOG_SEV(error) << "Main thread has ended before the service was stopped";
    m_bMainThreadFailed = true;
    OnStop();
}

int CTeskServiceModule::PostMessageLoop() {
    LOG_SEV(info) << m_values.moduleClassName << "::PostMessageLoop is executing";
    m_bStopping = true;
    m_values.stop();
    LOG_SEV(info) << "Wait for main thread has been stopped";
    if (m_mainThread.try_join_for(boost::chrono::milliseconds(m_mainThreadStopTimeout.count())))
        LOG_SEV(info) << "Main thread has been stopped";
    else
        LOG_SEV(warning) << "Main thread stopping timeout";
    return m_bMainThreadFailed ? EXIT_FAILURE : 0;
}
