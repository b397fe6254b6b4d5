// The control service's string table, version and module values.
#include <iterator>

#include "platform/Resources.h"
#include "server/ControlMainThread.h"
#include "service/ServiceValues.h"

namespace {

const platform::StringResource kStrings[] = {
    {100, "TeskCtrlSvc"},
    // A reserved top-level domain: an unconfigured updater can never reach anybody's server.
    {101, "updates.tesk.invalid"},
    {102, "/CalcsServiceUpdates/win/check.ashx?product=teskctrlsvc&version="},
    {103, "/CalcsServiceUpdates/win/download.ashx?product=teskctrlsvc"},
    {104, "teskctrlsvc_autoupdate.exe"},
    {105, "tesklocalsvc_autoupdate.exe"},
    {106, "9998"},
    {107, "TESK"},
    {108, "TeskLocalSvc"},
};

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 3, 2, 3, 0}};

const ServiceValues g_serviceValues = {
    "CTeskCtrlSvcModule",
    "{2021B473-FEAF-490D-A031-BD345BBD6051}",
    "/Logs/TeskCtrlSvc%Y-%b-%d.log",
    Control::mainThreadFunc,
    Control::stop,
    false,
    false,
};
