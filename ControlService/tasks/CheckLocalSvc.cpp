#include "tasks/CheckLocalSvc.h"

#include <string>

#include "Logging/Log.h"
#include "platform/ServiceControl.h"
#include "service/ModuleInfo.h"

namespace tasks {

namespace {

// The names of the states 1 to 7.
const char* const kStateNames[] = {"STOPPED",          "START_PENDING", "STOP_PENDING", "RUNNING",
                                   "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};

}  // namespace

void CheckLocalSvc::execute() {
    const std::string name = LoadResourceString(108);
    if (int error = platform::OpenServiceManager())
        return reportFailure("CheckLocalSvc: OpenSCManager failed ", error);
    if (int error = platform::OpenService(name))
        return reportFailure("CheckLocalSvc: OpenService failed ", error);
    platform::ServiceStatus status;
    if (int error = platform::QueryServiceStatus(name, status))
        return reportFailure("CheckLocalSvc: QueryServiceStatusEx failed ", error);
    if (status.currentState == m_lastState)
        return;
    if (status.currentState >= platform::SERVICE_STOPPED && status.currentState <= platform::SERVICE_PAUSED)
        LOG_SEV(info) << "Calculation service status is SERVICE_" << kStateNames[status.currentState - 1];
    m_lastState = status.currentState;
}

// Never cleared: a failure with the code last logged is not logged again, also after a success.
void CheckLocalSvc::reportFailure(const char* what, int error) {
    const unsigned code = static_cast<unsigned>(error);
    if (code == m_lastError)
        return;
    m_lastError = code;
    LOG_SEV(error) << what << code;
}

}  // namespace tasks
