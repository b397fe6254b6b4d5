// Test helper: values for a service built on the skeleton whose main thread ignores the stop and whose
// stop function throws.
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "platform/Resources.h"
#include "service/ServerStartup.h"
#include "service/ServiceValues.h"

namespace {

const platform::StringResource kStrings[] = {{100, "TeskFailingSvc"}};

void mainThreadIgnoringStop(ServerStartup& startup) {
    startup.listening();
    for (;;)
        ::pause();
}

void failingStop() {
    throw std::runtime_error("stop failed");
}

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 1, 0, 0, 0}};

const ServiceValues g_serviceValues = {
    "CTeskFailingSvcModule", "{0F0F0F0F-0000-4000-8000-0000000000C1}", "/Logs/TeskFailingSvc%Y-%b-%d.log",
    mainThreadIgnoringStop,  failingStop,                             false,
    false,
};
