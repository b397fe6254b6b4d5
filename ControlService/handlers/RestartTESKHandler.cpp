#include "handlers/RestartTESKHandler.h"

#include <string>
#include <utility>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "handlers/ControlRequestReaders.h"
#include "process/ClientRestarter.h"
#include "process/ProcessFinder.h"

namespace Handlers {

void RestartTESKHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>&,
                                const std::vector<std::uint8_t>&) {
    const std::string path = readControlString(request);
    LOG_SEV(info) << "start ro restart TESK, receive tesk path:" << Logging::EscapeClientText(path);
    // A NUL would start another program than the one named.
    if (path.find('\0') != std::string::npos) {
        LOG_SEV(error) << "restart of TESK refused: the path holds a NUL byte";
        return;
    }
    const std::string moduleName = moduleNameOf(path);
    LOG_SEV(info) << Logging::EscapeClientText(moduleName);
    m_restarter.restart(findProcessByModuleName(moduleName), path);
}

}  // namespace Handlers
