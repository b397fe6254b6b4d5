// Test helper: a minimal service on the service-module framework. Its service name is its executable's
// file name and its AppID "{<name>}", so copies under other names are other services. Built with
// TEST_SERVICE_STOP_SECONDS, it takes that long to stop once its message loop has ended. From its
// environment: TESK_TEST_SERVICE_START_GATE names a file it waits for (at most a minute) before it
// reports running; TESK_TEST_SERVICE_EXIT_CODE is the exit code it stops with, "asked to fail" its
// exit text; TESK_TEST_SERVICE_LINGER_MS is how long its process lives on after it reported stopped.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/ModulePath.h"
#include "platform/ServiceModule.h"
#include "platform/StopSignals.h"

#ifndef TEST_SERVICE_STOP_SECONDS
#define TEST_SERVICE_STOP_SECONDS 0
#endif

namespace {

class CTestServiceModule : public platform::CServiceModule {
public:
    using platform::CServiceModule::CServiceModule;

protected:
    int PreMessageLoop() override {
        if (const char* gate = std::getenv("TESK_TEST_SERVICE_START_GATE")) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            while (::access(gate, F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        SetServiceStatus(platform::SERVICE_RUNNING);
        return 0;
    }
    int PostMessageLoop() override {
        std::this_thread::sleep_for(std::chrono::seconds(TEST_SERVICE_STOP_SECONDS));
        const char* exitCode = std::getenv("TESK_TEST_SERVICE_EXIT_CODE");
        if (!exitCode)
            return 0;
        SetExitText("asked to fail");
        return std::atoi(exitCode);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    platform::SetUpProcessSignals();
    const std::string path = platform::ModulePath();
    const std::string name = path.substr(path.rfind('/') + 1);
    CTestServiceModule module(name, "{" + name + "}");
    const int result = module.WinMain(std::vector<std::string>(argv + 1, argv + argc));
    if (const char* linger = std::getenv("TESK_TEST_SERVICE_LINGER_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(linger)));
    return result;
}
