// Test helper: a minimal service on the service-module framework. Its service name is its executable's
// file name and its AppID "{<name>}", so copies under other names are other services. Built with
// TEST_SERVICE_STOP_SECONDS, it takes that long to stop once its message loop has ended.
#include <chrono>
#include <string>
#include <thread>
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
        SetServiceStatus(platform::SERVICE_RUNNING);
        return 0;
    }
    int PostMessageLoop() override {
        std::this_thread::sleep_for(std::chrono::seconds(TEST_SERVICE_STOP_SECONDS));
        return 0;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    platform::SetUpProcessSignals();
    const std::string path = platform::ModulePath();
    const std::string name = path.substr(path.rfind('/') + 1);
    CTestServiceModule module(name, "{" + name + "}");
    return module.WinMain(std::vector<std::string>(argv + 1, argv + argc));
}
