// Type 3: switches the desktop client into debug mode or back, by creating or removing the marker file
// "<folder>/META-INF/AIR/debug" in the client's folder.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

class Switch2DebugHandler : public BaseHandler {
public:
    // Body: u8 on, string folder.
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace Handlers
