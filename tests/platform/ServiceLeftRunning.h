// Clean-up for tests that start services: none may outlive its test.
#pragma once

#include <csignal>
#include <string>

#include "platform/ServiceControl.h"

namespace testsupport {

// Kills the process of a service that a failed test left running, so that it does not outlive the test.
inline void killServiceLeftRunning(const std::string& name) {
    platform::ServiceStatus status;
    if (platform::QueryServiceStatus(name, status) == 0 && status.processId > 0)
        ::kill(status.processId, SIGKILL);
}

}  // namespace testsupport
