#include "handlers/ControlHandlerTable.h"

#include <memory>
#include <mutex>
#include <utility>

#include "handlers/CalcsServiceHandlers.h"
#include "handlers/RestartTESKHandler.h"
#include "handlers/ServiceHandlers.h"
#include "handlers/Switch2DebugHandler.h"

namespace Handlers {

namespace {

// Runs a handler under one process-wide lock: sessions run concurrently, and a settings request changes
// several settings and saves them all, which must not interleave with another.
class ConfigWriteHandler : public BaseHandler {
public:
    explicit ConfigWriteHandler(std::shared_ptr<BaseHandler> handler) : m_handler(std::move(handler)) {}

    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override {
        static std::mutex configMutex;
        std::lock_guard<std::mutex> lock(configMutex);
        m_handler->handle(request, reply, requestId);
    }

private:
    const std::shared_ptr<BaseHandler> m_handler;
};

template <class Handler>
std::shared_ptr<BaseHandler> configWrite() {
    return std::make_shared<ConfigWriteHandler>(std::make_shared<Handler>());
}

}  // namespace

Packets::PacketProcessor::HandlerTable controlHandlerTable(process::ClientRestarter& restarter) {
    // The service operations behind types 1, 2 and 9 take their own locks.
    return {
        {1, std::make_shared<StopStartServiceHandler>(StopStartServiceHandler::STOP)},
        {2, std::make_shared<StopStartServiceHandler>(StopStartServiceHandler::START)},
        {3, std::make_shared<Switch2DebugHandler>()},
        {4, std::make_shared<RestartTESKHandler>(restarter)},
        {5, configWrite<ProxyInfoHandler>()},
        {7, configWrite<SetAutoUpdateParamsHandler>()},
        {9, std::make_shared<DownloadCalcsVersionHandler>()},
        {6, std::make_shared<DownloadVersionHandler>()},
        {8, configWrite<ResetAutoUpdateParamsHandler>()},
    };
}

}  // namespace Handlers
