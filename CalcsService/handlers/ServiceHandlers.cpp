#include "handlers/ServiceHandlers.h"

#include "Logging/ClientText.h"
#include "handlers/HandlerGuard.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/Replies.h"
#include "packets/RequestRefused.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "service/AutoUpdater.h"
#include "service/ConfigInfo.h"
#include "service/ModuleInfo.h"

namespace Handlers {

void ServiceInfoHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>& reply,
                                const std::vector<std::uint8_t>& requestId) {
    runGuarded("ServiceInfoHandler", reply, [&] {
        Packets::Outgoing::ServiceInfoResult result;
        result.version = GetVersionString();
        result.updateServer = ConfigInfo::instance().updateServer();
        Packets::Outgoing::serializeServiceInfoResult(result, reply, requestId);
    });
}

void SetAutoUpdateParamsHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                                        const std::vector<std::uint8_t>&) {
    // Settings are changed whole or not at all: a cut-off body reaches the packet processor.
    Packets::Incoming::SetAutoUpdateParamsPacket packet;
    Packets::refuseIfBodyEnded(Packets::Incoming::parseSetAutoUpdateParamsPacket(request, packet));
    runGuarded("SetAutoUpdateParamsHandler", reply, [&] {
        ConfigInfo& config = ConfigInfo::instance();
        // The configuration refuses an overlong or unstorable text, each with an error line.
        if (!packet.updateServer.empty())
            config.setUpdateServer(packet.updateServer);
        if (!packet.checkVersionPath.empty())
            config.setCheckVersionPath(packet.checkVersionPath);
        if (!packet.downloadVersionPath.empty())
            config.setDownloadVersionPath(packet.downloadVersionPath);
        config.saveAutoUpdateConfig();
        LOG_SEV(info) << "autoupdate params updated: ( IP: " << Logging::EscapeClientText(config.updateServer())
                      << ", DOWNLOAD_VERSION_PATH: " << Logging::EscapeClientText(config.downloadVersionPath())
                      << ", CHECK_VERSION_PATH:" << Logging::EscapeClientText(config.checkVersionPath()) << ")";
    });
}

void ResetAutoUpdateParamsHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>& reply,
                                          const std::vector<std::uint8_t>&) {
    runGuarded("ResetAutoUpdateParamsHandler", reply, [] {
        ConfigInfo::instance().resetAutoUpdateConfig();
        LOG_SEV(info) << "reset autoupdate params to default values";
    });
}

void DownloadVersionHandler::handle(Packets::RequestStream&, std::vector<std::uint8_t>&,
                                    const std::vector<std::uint8_t>&) {
    startAutoUpdate(true);
}

void ProxyInfoHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                              const std::vector<std::uint8_t>&) {
    Packets::Incoming::ProxyInfoPacket packet;
    Packets::refuseIfBodyEnded(Packets::Incoming::parseProxyInfoPacket(request, packet));
    runGuarded("ProxyInfoHandler", reply, [&] {
        ConfigInfo& config = ConfigInfo::instance();
        config.setUseProxy(packet.useProxy != 0);
        config.setProxyIP(packet.proxyAddress);
        config.setProxyPort(static_cast<int>(packet.proxyPort));
        config.saveAutoUpdateConfig();
        // The values as stored: an address the configuration refused is not echoed into the log.
        LOG_SEV(info) << "receive proxy info: (use proxy: " << (config.useProxy() ? 1 : 0)
                      << ", proxyIP: " << Logging::EscapeClientText(config.proxyIP()) << ", proxyPort: " << config.proxyPort() << ")";
    });
}

}  // namespace Handlers
