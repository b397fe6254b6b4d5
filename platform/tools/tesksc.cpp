// tesksc: operates installed services through the service manager, as sc.exe does on Windows.
// Installing and removing is the services' own business ("-Service", "-UnregServer"). The status goes
// to standard output, errors to standard error.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/PlatformRoot.h"
#include "platform/ServiceControl.h"

namespace {

using namespace platform;

const auto kSettleLimit = std::chrono::seconds(30);

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
    case ERROR_FAILED_SERVICE_CONTROLLER_CONNECT:
        return "The service process could not connect to the service controller.";
    case ERROR_PROCESS_ABORTED:
        return "The process terminated unexpectedly.";
    default:
        return std::strerror(error);
    }
}

const char* const kUsage =
    "usage: tesksc start|stop|query <service name>\n"
    "  start   start the service and wait until it runs\n"
    "  stop    stop the service and wait until it has stopped\n"
    "  query   show the service's status\n"
    "exit status: 0 success (for query: the service runs), 1 failure, 2 wrong usage,\n"
    "             3 query of a service that does not run\n";

const int kExitFailure = 1;
const int kExitUsage = 2;
const int kExitNotRunning = 3;

int Fail(const std::string& what, int error) {
    std::fprintf(stderr, "tesksc: %s: %s (error %d)\n", what.c_str(), ErrorText(error).c_str(), error);
    return kExitFailure;
}

void Print(const std::string& name, const ServiceStatus& status) {
    std::printf("SERVICE_NAME: %s\n", name.c_str());
    std::printf("        STATE              : %u  %s\n", status.currentState, StateName(status.currentState));
    std::printf("        WIN32_EXIT_CODE    : %u\n", status.win32ExitCode);
    std::printf("        CHECKPOINT         : %u\n", status.checkPoint);
    std::printf("        WAIT_HINT          : %u\n", status.waitHint);
    std::printf("        PID                : %d\n", status.processId);
}

int Command(const std::string& command, const std::string& name) {
    ServiceStatus status;
    if (command == "query") {
        if (int error = QueryServiceStatus(name, status))
            return Fail("cannot query " + name, error);
        Print(name, status);
        return status.currentState == SERVICE_RUNNING ? 0 : kExitNotRunning;
    }
    if (command == "start") {
        if (int error = StartService(name))
            return Fail("cannot start " + name, error);
        if (int error = WaitForServiceState(name, SERVICE_RUNNING, status, kSettleLimit))
            return Fail(name + " did not start", error);
        Print(name, status);
        if (status.currentState == SERVICE_RUNNING)
            return 0;
        // The service's own reason, when it left one, names what it could not do.
        std::fprintf(stderr, "tesksc: %s did not start: it stopped with exit code %u%s%s\n", name.c_str(),
                     status.win32ExitCode, status.exitText.empty() ? "" : ": ", status.exitText.c_str());
        return kExitFailure;
    }
    if (command == "stop") {
        if (int error = ControlStopService(name, status))
            return Fail("cannot stop " + name, error);
        if (int error = WaitForServiceState(name, SERVICE_STOPPED, status, kSettleLimit))
            return Fail(name + " did not stop", error);
        Print(name, status);
        return 0;
    }
    std::fprintf(stderr, "tesksc: unknown command '%s'\n%s", command.c_str(), kUsage);
    return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    // Every command takes the service's lock file under the root.
    if (int error = CheckPlatformRootWritable())
        return Fail("platform root " + PlatformRoot() + " is not writable", error);
    return Command(argv[1], argv[2]);
}
