// The calculations service's string table, version and module values.
#include <iterator>

#include "platform/Resources.h"
#include "server/MainThread.h"
#include "service/ServiceValues.h"

namespace {

const platform::StringResource kStrings[] = {
    {100, "TeskLocalSvc"},
    // A reserved top-level domain: an unconfigured updater can never reach anybody's server.
    {101, "updates.tesk.invalid"},
    {102, "/CalcsServiceUpdates/win/check.ashx?product=tesklocalsvc&version="},
    {103, "/CalcsServiceUpdates/win/download.ashx?product=tesklocalsvc"},
    {104, "tesklocalsvc_autoupdate.exe"},
    {105, "9999"},
};

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
