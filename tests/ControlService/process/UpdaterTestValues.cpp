// Test helper: the control service's values with an updater name of the test's own, so that no other
// test's updater of the real name is taken for it.
#include <iterator>

#include "platform/Resources.h"
#include "service/IdleMainThread.h"
#include "service/ServiceValues.h"

namespace {

const platform::StringResource kStrings[] = {{100, "TeskCtrlSvc"}, {105, "tesk_test_calcs_updater.exe"}};

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 3, 2, 3, 0}};

const ServiceValues g_serviceValues = {
    "CTeskCtrlSvcModule", "{2021B473-FEAF-490D-A031-BD345BBD6051}", "/Logs/TeskCtrlSvc%Y-%b-%d.log",
    idleMainThreadFunc,   idleStop,                                 false,
    false,
};
