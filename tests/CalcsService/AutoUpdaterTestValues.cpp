// Test helper: the calculations service's values with an updater name of the test process's own, so
// that no updater of the real name, nor another run's, is taken for the test's own.
#include <iterator>
#include <string>

#include "platform/Resources.h"
#include "server/MainThread.h"
#include "service/ServiceValues.h"
#include "support/OwnName.h"

namespace {

const std::string g_updater = testsupport::ownName("tesklocalsvc_autoupdate", ".exe");
const platform::StringResource kStrings[] = {{100, "TeskLocalSvc"}, {104, g_updater.c_str()}};

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 3, 7, 3, 0}};

const ServiceValues g_serviceValues = {
    "CTeskLocalSvcModule",
    "{33F67913-349E-448E-9A17-1EE38DF3DFF4}",
    "/Logs/TeskLocalSvc%Y-%b-%d.log",
    mainThreadFunc,
    stop,
    true,
    true,
};
