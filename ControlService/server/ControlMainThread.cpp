#include "server/ControlMainThread.h"

#include <cstdlib>
#include <exception>
#include <utility>

#include <boost/asio/io_context.hpp>

#include "Logging/Log.h"
#include "handlers/ControlHandlerTable.h"
#include "process/ClientRestarter.h"
#include "server/ControlServer.h"
#include "server/PortNumber.h"
#include "service/ModuleInfo.h"
#include "tasks/CheckLocalSvc.h"
#include "tasks/CheckRegistryTask.h"
#include "tasks/CleanLogsTask.h"
#include "tasks/PeriodicalTask.h"

namespace Control {

namespace {

// The io_context that carries the acceptor and every session's reads; stop() ends its run.
boost::asio::io_context& sharedIoContext() {
    static boost::asio::io_context io;
    return io;
}

void runServer(const std::string& portText, ServerStartup& startup) {
    // Declared before the server: restarts that its sessions asked for end after them.
    process::ClientRestarter restarter;
    ServerSettings settings;
    settings.handlers = [&restarter] { return Handlers::controlHandlerTable(restarter); };
    server controlServer(sharedIoContext(), Network::parsePort(portText), std::move(settings));
    startup.listening();
    sharedIoContext().run();
}

}  // namespace

void serveControl(const std::string& portText, ServerStartup& startup) {
    const std::string version = GetVersionString();
    LOG_SEV(info) << "initializing version " << version << ", port:" << portText;
    try {
        tasks::PeriodicalTask<tasks::CleanLogsTask> cleanLogs(86400000, 0);
        cleanLogs.start();
        tasks::PeriodicalTask<tasks::CheckRegistryTask> checkRegistry(300000, 0);
        checkRegistry.start();
        tasks::PeriodicalTask<tasks::CheckLocalSvc> checkLocalSvc(1000, 0);
        checkLocalSvc.start();
        try {
            runServer(portText, startup);
        } catch (const std::exception& e) {
            LOG_SEV(error) << "io_service.run:" << e.what();
            startup.failed(e.what());
        }
        LOG_SEV(info) << "Exit version " << version << ", port:" << portText;
        // The tasks end here, the watcher first.
    } catch (...) {
        // Nothing may leave the main thread: the service module would end the process.
        LOG_SEV(fatal) << "io_service.run: unknown exception, Exit version " << version;
    }
}

void mainThreadFunc(ServerStartup& startup) {
    const char* testPort = std::getenv("TESK_TEST_CTRL_PORT");
    serveControl(testPort ? testPort : LoadResourceString(106), startup);
}

void stop() {
    LOG_SCOPE("void __cdecl stop(void)");
    LOG_SEV(info) << "Stopping service";
    // The server, its sessions and the tasks are ended by the main thread once its run returns.
    sharedIoContext().stop();
    LOG_SEV(info) << "Finishing stop service";
}

}  // namespace Control
