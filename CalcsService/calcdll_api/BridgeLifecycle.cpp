// Loading and releasing the library, and forgetting what the bridge holds for a client.
#include <cerrno>
#include <exception>
#include <malloc.h>
#include <string>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/Log.h"
#include "calcdll_api/AsyncResults.h"
#include "calcdll_api/DllBridge.h"
#include "calcdll_api/LibraryRequests.h"
#include "calcdll_api/SettingsFeed.h"
#include "calcdll_api/UserVolatilityCache.h"
#include "service/ModuleInfo.h"
#include "service/ServiceValues.h"

namespace {

constexpr const char* kLibraryFileName = "brkcalcslib.dll";
constexpr std::uint32_t kLibraryThreads = 4;

}  // namespace

bool InitCalcDLL(const char* libraryFileName, const char* logFilePattern) {
    LOG_SCOPE("InitCalcDLL");
    try {
        CBrkCalcDll& dll = CBrkCalcDll::Instance();
        dll.SetCallbacks(&calcDllMessageCallback, &brkCalcDllDividendCallback, &brkCalcDllYieldCurveCallback,
                         &getUserVolatilityCallback, nullptr);
        dll.SetThreadCount(kLibraryThreads);
        const std::string fileName = libraryFileName ? libraryFileName : kLibraryFileName;
        dll.Load(fileName.c_str());
        const std::string pattern =
            logFilePattern ? logFilePattern : g_strModuleDir + g_serviceValues.logFileSuffix;
        dll.InitLogger(pattern.c_str());
        LOG_SEV(info) << "CalcDll was loaded from " << fileName;
        return true;
    } catch (const std::exception& e) {
        const int lastError = errno;
        LOG_SEV(error) << e.what();
        LOG_SEV(error) << "Error: failed to load " << kLibraryFileName << " error: " << lastError;
    } catch (...) {
        LOG_SEV(error) << "Unknown exception, may be it is a SEH?";
    }
    return false;
}

namespace ExternalCalculations {

void ReleaseCalcDll() {
    BOOST_LOG_FUNCTION();
    try {
        LOG_SEV(info) << "Stopping service";
        CBrkCalcDll::Instance().Unload();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "Can't unload CalcDLL: " << e.what();
    } catch (...) {
        LOG_SEV(error) << "Can't stop service, unknown exception";
    }
}

}  // namespace ExternalCalculations

namespace ExternalCalcs {

void Clear() {
    LOG_SEV(info) << "ExternalCalcs::Clear";
    Bridge::clearUserVolatilities();
    Bridge::forgetRootMappings();  // released with the library's records
    wakeAsyncResults();
    // The released records came from the malloc arenas of the previous session's threads, which the
    // next session's threads need not reuse: without giving the free pages back, each client's records
    // would add to the process's memory instead of taking the place of the last one's.
    ::malloc_trim(0);
}

}  // namespace ExternalCalcs

namespace Bridge {

// The library's release is safe with records still queued on its processing threads.
void Reset() {
    LOG_SCOPE("Bridge::Reset");
    try {
        LOG_SEV(info) << "reset data";
        CBrkCalcDll& dll = CBrkCalcDll::Instance();
        dll.PurgeProcessingQueues();
        dll.CleanUpRecords();
        ExternalCalcs::Clear();
    } catch (...) {
        LOG_SEV(fatal) << "cauth unknown exception, SEH?";
    }
}

}  // namespace Bridge
