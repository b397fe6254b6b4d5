// The values in which the two services differ. Each executable defines g_serviceValues (with its
// string table and version) and links it; the skeleton reads it.
#pragma once

class ServerStartup;

struct ServiceValues {
    const char* moduleClassName;                     // names the module in its log lines
    const char* appId;                               // the AppID GUID in braces
    const char* logFileSuffix;                       // log file pattern behind the executable's folder
    void (*mainThreadFunc)(ServerStartup& startup);  // body of the service's main thread; tells startup
    void (*stop)();                                  // makes the main thread return; called after the message loop
    bool logsConfigLoad;                             // ConfigInfo::load names the file it reads
    bool logsLaunchErrorCode;                        // a failed updater launch is logged with its error number
};

extern const ServiceValues g_serviceValues;
