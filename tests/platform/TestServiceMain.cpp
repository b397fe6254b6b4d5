// Test helper: a minimal service on the service-module framework. Its service name is its executable's
// file name and its AppID "{<name>}", so copies under other names are other services.
#include <string>
#include <vector>

#include "platform/ModulePath.h"
#include "platform/ServiceModule.h"
#include "platform/StopSignals.h"

namespace {

class CTestServiceModule : public platform::CServiceModule {
public:
    using platform::CServiceModule::CServiceModule;

protected:
    int PreMessageLoop() override {
        SetServiceStatus(platform::SERVICE_RUNNING);
        return 0;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    platform::BlockStopSignals();
    const std::string path = platform::ModulePath();
    const std::string name = path.substr(path.rfind('/') + 1);
    CTestServiceModule module(name, "{" + name + "}");
    return module.WinMain(std::vector<std::string>(argv + 1, argv + argc));
}
