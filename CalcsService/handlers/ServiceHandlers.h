// The handlers of the service's own settings, shared with the control service: service information,
// auto-update and proxy settings, and the forced update.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

// REQUEST_SERVICE_INFO: the build's version, the update server and the protocol version.
class ServiceInfoHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// SET_AUTOUPDATE_INFO: replaces the non-empty settings and saves, also when nothing changed.
class SetAutoUpdateParamsHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// RESET_AUTOUPDATE_INFO: back to the string-table defaults, proxy cleared, saved.
class ResetAutoUpdateParamsHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// DOWNlOAD_VERSION: starts the updater with "force".
class DownloadVersionHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

// USE_PROXY: stores the proxy flag, address (an empty one clears it) and port, and saves.
class ProxyInfoHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace Handlers
