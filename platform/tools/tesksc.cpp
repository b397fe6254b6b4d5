// tesksc: operates installed services through the service manager, as sc.exe does on Windows.
//   tesksc start <service>   start it and wait until it runs (or has stopped again)
//   tesksc stop <service>    stop it and wait until it has stopped
//   tesksc query <service>   show its status
// Installing and removing is the services' own business ("-Service", "-UnregServer").
// The exit status is 0 on success and 1 on any failure.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/ServiceControl.h"

namespace {

using namespace platform;

const auto kSettleLimit = std::chrono::seconds(30);
const auto kPollInterval = std::chrono::milliseconds(20);

const char* StateName(unsigned state) {
    static const char* const names[] = {"STOPPED", "START_PENDING", "STOP_PENDING", "RUNNING",
                                        "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state >= SERVICE_STOPPED && state <= SERVICE_PAUSED ? names[state - 1] : "UNKNOWN";
}

std::string ErrorText(int error) {
    switch (error) {
    case ERROR_INVALID_NAME:
        return "The name is invalid.";
    case ERROR_SERVICE_REQUEST_TIMEOUT:
        return "The service did not respond to the start or control request in a timely fashion.";
    case ERROR_SERVICE_ALREADY_RUNNING:
        return "An instance of the service is already running.";
    case ERROR_SERVICE_DOES_NOT_EXIST:
        return "The specified service does not exist as an installed service.";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
        return "The service cannot accept control messages at this time.";
    case ERROR_SERVICE_NOT_ACTIVE:
        return "The service has not been started.";
    default:
        return std::strerror(error);
    }
}

int Fail(const char* operation, int error) {
    std::printf("[SC] %s FAILED %d:\n\n%s\n", operation, error, ErrorText(error).c_str());
    return 1;
}

void Print(const std::string& name, const ServiceStatus& status) {
    std::printf("SERVICE_NAME: %s\n", name.c_str());
    std::printf("        STATE              : %u  %s\n", status.currentState, StateName(status.currentState));
    std::printf("        WIN32_EXIT_CODE    : %u\n", status.win32ExitCode);
    std::printf("        CHECKPOINT         : %u\n", status.checkPoint);
    std::printf("        WAIT_HINT          : %u\n", status.waitHint);
    std::printf("        PID                : %d\n", status.processId);
}

// Polls the status while it is still moving towards the wanted state.
int WaitWhile(const std::string& name, unsigned settled, ServiceStatus& status) {
    const auto deadline = std::chrono::steady_clock::now() + kSettleLimit;
    for (;;) {
        if (int error = QueryServiceStatus(name, status))
            return error;
        const bool pending = settled == SERVICE_RUNNING ? status.currentState == SERVICE_START_PENDING
                                                        : status.currentState != SERVICE_STOPPED;
        if (!pending)
            return 0;
        if (std::chrono::steady_clock::now() >= deadline)
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        std::this_thread::sleep_for(kPollInterval);
    }
}

int Command(const std::string& command, const std::string& name) {
    ServiceStatus status;
    if (command == "query") {
        if (int error = QueryServiceStatus(name, status))
            return Fail("EnumQueryServicesStatus:OpenService", error);
    } else if (command == "start") {
        if (int error = StartService(name))
            return Fail("StartService", error);
        if (int error = WaitWhile(name, SERVICE_RUNNING, status))
            return Fail("StartService", error);
    } else if (command == "stop") {
        if (int error = ControlStopService(name, status))
            return Fail("ControlService", error);
        if (int error = WaitWhile(name, SERVICE_STOPPED, status))
            return Fail("ControlService", error);
    } else {
        return -1;
    }
    Print(name, status);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int result = argc == 3 ? Command(argv[1], argv[2]) : -1;
    if (result < 0) {
        std::fprintf(stderr, "usage: tesksc start|stop|query <service name>\n");
        return 1;
    }
    return result;
}
