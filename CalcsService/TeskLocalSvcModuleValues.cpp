// The calculations service's module values: its class name, AppID, log file and main thread.
#include "server/MainThread.h"
#include "service/ServiceValues.h"

const ServiceValues g_serviceValues = {
    "CTeskLocalSvcModule",
    "{33F67913-349E-448E-9A17-1EE38DF3DFF4}",
    "/Logs/TeskLocalSvc%Y-%b-%d.log",
    mainThreadFunc,
    stop,
    true,
    true,
};
