// Type 4: restarts the desktop client, which sends its executable's path and then exits: once the
// running client has ended, the path is started again in the user's session.
#pragma once

#include "handlers/BaseHandler.h"

namespace process {
class ClientRestarter;
}

namespace Handlers {

class RestartTESKHandler : public BaseHandler {
public:
    // The restarter is the process's one owner of the waiting restarts; it outlives the handler.
    explicit RestartTESKHandler(process::ClientRestarter& restarter) : m_restarter(restarter) {}

    // Body: string executable path.
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;

private:
    process::ClientRestarter& m_restarter;
};

}  // namespace Handlers
