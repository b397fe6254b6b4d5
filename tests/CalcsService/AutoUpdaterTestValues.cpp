// Test helper: the calculations service's string table with an updater name of the test process's own, so
// that no updater of the real name, nor another run's, is taken for the test's own.
#include <iterator>
#include <string>

#include "platform/Resources.h"
#include "support/OwnName.h"

namespace {

const std::string g_updater = testsupport::ownName("tesklocalsvc_autoupdate", ".exe");
const platform::StringResource kStrings[] = {{100, "TeskLocalSvc"}, {104, g_updater.c_str()}};

}  // namespace

const platform::ModuleResources platform::g_moduleResources = {kStrings, std::size(kStrings), {true, 3, 7, 3, 0}};
