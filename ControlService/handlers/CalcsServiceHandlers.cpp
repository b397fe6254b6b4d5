#include "handlers/CalcsServiceHandlers.h"

#include <string>

#include "Logging/Log.h"
#include "process/CalcsUpdater.h"
#include "process/ServiceControl.h"
#include "service/ModuleInfo.h"

namespace Handlers {

void StopStartServiceHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>&,
                                     const std::vector<std::uint8_t>&) {
    const std::string name = LoadResourceString(108);
    if (m_mode == START) {
        LOG_SEV(info) << "start calculation svc:" << name;
        startServiceByName(name);
    } else {
        LOG_SEV(info) << "stop calculation svc:" << name;
        stopServiceByName(name);
    }
}

void DownloadCalcsVersionHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>&,
                                         const std::vector<std::uint8_t>&) {
    launchCalcsUpdater(true);
}

}  // namespace Handlers
