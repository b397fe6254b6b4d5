#include "process/ServiceControl.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>

#include "Logging/Log.h"
#include "platform/ServiceControl.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::mutex g_operationMutex;

const milliseconds kMinPoll(1000);
const milliseconds kMaxPoll(10000);
// Never a busy loop, not even with a wait hint of 0 or the deadline at hand.
const milliseconds kLeastPoll(100);
const milliseconds kNoDeadline = milliseconds::max();

unsigned code(int error) {
    return static_cast<unsigned>(error);
}

// A tenth of the wait hint within 1 to 10 s, no further than the time left, at least 100 ms; sleeps on a
// Boost thread are interruption points.
void sleepPoll(unsigned waitHint, milliseconds timeLeft) {
    const milliseconds clamped = std::clamp(milliseconds(waitHint / 10), kMinPoll, kMaxPoll);
    const milliseconds poll = std::max(std::min(clamped, timeLeft), kLeastPoll);
    boost::this_thread::sleep_for(boost::chrono::milliseconds(poll.count()));
}

milliseconds elapsedSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

enum class WaitEnd { Left, Failed, Stalled };

// Waits while the service is in the pending state, as long as its checkpoint advances within each wait
// hint; a failed query is logged.
WaitEnd waitWhilePending(const std::string& name, unsigned pendingState, platform::ServiceStatus& status) {
    auto noted = Clock::now();
    unsigned checkPoint = status.checkPoint;
    while (status.currentState == pendingState) {
        sleepPoll(status.waitHint, kNoDeadline);
        if (int error = platform::QueryServiceStatus(name, status)) {
            LOG_SEV(error) << "QueryServiceStatusEx failed: " << code(error);
            return WaitEnd::Failed;
        }
        if (status.checkPoint > checkPoint) {
            noted = Clock::now();
            checkPoint = status.checkPoint;
        } else if (elapsedSince(noted) > milliseconds(status.waitHint)) {
            return WaitEnd::Stalled;
        }
    }
    return WaitEnd::Left;
}

enum class StopWait { Stopped, QueryFailed, TimedOut };

// Waits until the service has stopped, until the deadline at the latest; error is the failed query's.
StopWait waitUntilStopped(const std::string& name, platform::ServiceStatus& status, Clock::time_point deadline,
                          int& error) {
    while (status.currentState != platform::SERVICE_STOPPED) {
        sleepPoll(status.waitHint, std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
        if ((error = platform::QueryServiceStatus(name, status)) != 0)
            return StopWait::QueryFailed;
        if (status.currentState != platform::SERVICE_STOPPED && Clock::now() > deadline)
            return StopWait::TimedOut;
    }
    return StopWait::Stopped;
}

// Whether a stop that ended did so cleanly (exit code 0); otherwise logs the code at error.
bool stoppedCleanly(const platform::ServiceStatus& status) {
    if (status.win32ExitCode == 0)
        return true;
    LOG_SEV(error) << "Service stopped with exit code " << status.win32ExitCode;
    return false;
}

// Opens the service manager and the service and reads the service's status; a failed step is logged.
bool openAndQuery(const std::string& name, platform::ServiceStatus& status) {
    if (int error = platform::OpenServiceManager()) {
        LOG_SEV(error) << "OpenSCManager failed: " << code(error);
        return false;
    }
    if (int error = platform::OpenService(name)) {
        LOG_SEV(error) << "OpenService failed: " << code(error);
        return false;
    }
    if (int error = platform::QueryServiceStatus(name, status)) {
        LOG_SEV(error) << "QueryServiceStatusEx failed: " << code(error);
        return false;
    }
    return true;
}

}  // namespace

void startServiceByName(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_operationMutex);
    platform::ServiceStatus status;
    if (!openAndQuery(name, status))
        return;
    if (status.currentState != platform::SERVICE_STOPPED && status.currentState != platform::SERVICE_STOP_PENDING) {
        LOG_SEV(error) << "Cannot start the service because it is already running";
        return;
    }
    switch (waitWhilePending(name, platform::SERVICE_STOP_PENDING, status)) {
    case WaitEnd::Left:
        break;
    case WaitEnd::Stalled:
        LOG_SEV(error) << "Timeout waiting for service to stop";
        return;
    case WaitEnd::Failed:
        return;
    }
    if (int error = platform::StartService(name)) {
        LOG_SEV(error) << "StartService failed: " << code(error);
        return;
    }
    LOG_SEV(info) << "Service start pending...";
    if (int error = platform::QueryServiceStatus(name, status)) {
        LOG_SEV(error) << "QueryServiceStatusEx failed: " << code(error);
        return;
    }
    waitWhilePending(name, platform::SERVICE_START_PENDING, status);
    if (status.currentState == platform::SERVICE_RUNNING)
        LOG_SEV(info) << "Service started successfully.";
    else
        LOG_SEV(error) << "Service not started. \n"
                       << "  Current State: " << status.currentState << "  Exit Code: " << status.win32ExitCode
                       << "  Check Point: " << status.checkPoint << "  Wait Hint: " << status.waitHint;
}

void stopServiceByName(const std::string& name, milliseconds limit) {
    const auto start = Clock::now();
    std::lock_guard<std::mutex> lock(g_operationMutex);
    platform::ServiceStatus status;
    if (!openAndQuery(name, status))
        return;
    if (status.currentState == platform::SERVICE_STOPPED) {
        LOG_SEV(info) << "Service is already stopped.";
        return;
    }
    const auto timeLeft = [&] { return limit - elapsedSince(start); };
    while (status.currentState == platform::SERVICE_STOP_PENDING) {
        LOG_SEV(info) << "Service stop pending...";
        sleepPoll(status.waitHint, timeLeft());
        if (int error = platform::QueryServiceStatus(name, status)) {
            LOG_SEV(error) << "QueryServiceStatusEx failed: " << code(error);
            return;
        }
        if (status.currentState == platform::SERVICE_STOPPED) {
            // At error, unlike the line of a stop sent by this call: as it has always been logged.
            if (stoppedCleanly(status))
                LOG_SEV(error) << "Service stopped successfully.";
            return;
        }
        if (timeLeft() < milliseconds(0)) {
            LOG_SEV(error) << "Service stop timed out.";
            return;
        }
    }
    stopDependentServices(name, limit);
    if (int error = platform::ControlStopService(name, status)) {
        LOG_SEV(error) << "ControlService failed: " << code(error);
        return;
    }
    int error = 0;
    switch (waitUntilStopped(name, status, start + limit, error)) {
    case StopWait::Stopped:
        if (stoppedCleanly(status))
            LOG_SEV(info) << "Service stopped successfully";
        break;
    case StopWait::QueryFailed:
        LOG_SEV(error) << "QueryServiceStatusEx failed: " << code(error);
        break;
    case StopWait::TimedOut:
        LOG_SEV(error) << "Wait timed out";
        break;
    }
}

bool stopDependentServices(const std::string& name, milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::vector<std::string> dependents;
    if (platform::EnumDependentServices(name, dependents) != 0)
        return false;
    for (const auto& dependent : dependents) {
        platform::ServiceStatus status;
        int error = 0;
        if (platform::ControlStopService(dependent, status) != 0 ||
            waitUntilStopped(dependent, status, deadline, error) != StopWait::Stopped)
            return false;
    }
    return true;
}
