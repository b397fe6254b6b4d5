// The control requests that act on the calculations service: stop it, start it, run its updater.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

// Types 1 and 2: stops or starts the calculations service (string 108) through the service manager.
class StopStartServiceHandler : public BaseHandler {
public:
    enum Mode { START = 0, STOP = 1 };

    explicit StopStartServiceHandler(Mode mode) : m_mode(mode) {}

    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;

private:
    const Mode m_mode;
};

// Type 9: starts the calculations service's updater with "force".
class DownloadCalcsVersionHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace Handlers
