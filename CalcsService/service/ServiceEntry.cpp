#include "service/ServiceEntry.h"

#include <cstdio>
#include <cstdlib>
#include <locale>
#include <memory>
#include <string>
#include <vector>

#include <boost/algorithm/string/join.hpp>
#include <boost/exception/diagnostic_information.hpp>

#include "Logging/Log.h"
#include "platform/ModulePath.h"
#include "platform/StopSignals.h"
#include "service/ModuleInfo.h"
#include "service/ServiceValues.h"
#include "service/TeskServiceModule.h"

namespace {

// A failure must not become 0 when the result is cut to the 8 bits of an exit status.
int exitStatus(int result) {
    if (result == 0)
        return EXIT_SUCCESS;
    const int low = result & 0xFF;
    return low != 0 ? low : EXIT_FAILURE;
}

}  // namespace

int serviceWinMain(int argc, char* argv[]) {
    // Before anything else, so that no thread can take a stop signal and none is lost.
    platform::SetUpProcessSignals();
    std::unique_ptr<CTeskServiceModule> module;
    int result = EXIT_FAILURE;
    try {
        std::locale::global(std::locale::classic());
        g_strModuleDir = platform::ModuleDir();
        Logging::initLogging(g_strModuleDir + g_serviceValues.logFileSuffix);
        const std::vector<std::string> args(argv + 1, argv + argc);
        LOG_SEV(info) << "winmain : " << boost::algorithm::join(args, " ");
        LOG_SEV(info) << "current directory: " << g_strModuleDir;
        module = std::make_unique<CTeskServiceModule>(g_serviceValues);
        result = module->WinMain(args);
    } catch (...) {
        LOG_SEV(error) << "Unhandled exception!" << boost::current_exception_diagnostic_information(true);
        result = EXIT_FAILURE;
    }
    const int status = exitStatus(result);
    if (module && module->hasUnjoinedMainThread()) {
        // Static destructors would pull the logger and other process-wide objects from under the
        // running main thread.
        boost::log::core::get()->flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
