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
    std::fprintf(stderr, "tesksc: %s: %s (error %d)\n", what.c_str(), ServiceErrorText(error).c_str(), error);
    return kExitFailure;
}

// A service that stopped with a failure: its exit code and its own reason, when it left one.
int FailedExit(const std::string& what, const ServiceStatus& status) {
    std::fprintf(stderr, "tesksc: %s: it stopped with exit code %u%s%s\n", what.c_str(), status.win32ExitCode,
                 status.exitText.empty() ? "" : ": ", status.exitText.c_str());
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
        return FailedExit(name + " did not start", status);
    }
    if (command == "stop") {
        if (int error = ControlStopService(name, status))
            return Fail("cannot stop " + name, error);
        if (int error = WaitForServiceState(name, SERVICE_STOPPED, status, kSettleLimit))
            return Fail(name + " did not stop", error);
        Print(name, status);
        return status.win32ExitCode == 0 ? 0 : FailedExit(name + " did not stop cleanly", status);
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
