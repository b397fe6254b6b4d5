// The calculations service's string table and version; its module values are in
// TeskLocalSvcModuleValues.cpp, which tests with a string table of their own link too.
#include <iterator>

#include "platform/Resources.h"

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
