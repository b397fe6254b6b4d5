#include "server/MainThread.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>

#include "Logging/Log.h"
#include "calcdll_api/DllBridge.h"
#include "handlers/HandlerRegistry.h"
#include "server/PortNumber.h"
#include "service/ModuleInfo.h"

namespace {

const char* const kLibraryFileName = "brkcalcslib.dll";

}  // namespace

boost::asio::io_context& sharedIoContext() {
    static boost::asio::io_context io;
    return io;
}

void serveCalculations(const std::string& portText, const char* libraryFileName, ServerSettings settings,
                       ServerStartup& startup) {
    const std::string version = GetVersionString();
    try {
        LOG_SEV(info) << "initializing version " << version << ", port:" << portText
                      << ", dll path: " << (libraryFileName ? libraryFileName : kLibraryFileName);
        // Without the library the server still runs: requests that need it fail one by one.
        if (!InitCalcDLL(libraryFileName, nullptr))
            LOG_SEV(info) << "Exit from version " << version;
        {
            // Destroyed before the library is released: no session thread is then inside a library call.
            server calcsServer(sharedIoContext(), Network::parsePort(portText), std::move(settings));
            startup.listening();
            sharedIoContext().run();
        }
    } catch (const std::exception& e) {
        LOG_SEV(error) << "io_service.run:" << e.what();
        startup.failed(e.what());
    } catch (...) {
        LOG_SEV(fatal) << "io_service.run: unknown exception, SEH? Exit from version " << version;
        ExternalCalculations::ReleaseCalcDll();
        return;
    }
    ExternalCalculations::ReleaseCalcDll();
    LOG_SEV(info) << "Exit from version " << version << ", port:" << portText;
}

void mainThreadFunc(ServerStartup& startup) {
    const char* testPort = std::getenv("TESK_TEST_CALCS_PORT");
    ServerSettings settings;
    settings.handlers = Handlers::calculationHandlers;
    serveCalculations(testPort ? testPort : LoadResourceString(105), nullptr, std::move(settings), startup);
}

void stop() {
    LOG_SCOPE("void __cdecl stop(void)");
    try {
        LOG_SEV(info) << "Stopping service";
        // The server and the library are ended by the main thread once its run returns.
        sharedIoContext().stop();
    } catch (...) {
        LOG_SEV(fatal) << "unknown exception";
    }
    LOG_SEV(info) << "Finishing stop service";
}
