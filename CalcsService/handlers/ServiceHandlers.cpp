#include "handlers/ServiceHandlers.h"

#include "handlers/HandlerGuard.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/Replies.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "service/AutoUpdater.h"
#include "service/ConfigInfo.h"
#include "service/ModuleInfo.h"

namespace Handlers {

namespace {

// Stores `value` through `set` unless it is longer than MAX_CONFIG_TEXT; the configuration refuses
// what its file could not hold, each with an error line.
template <class Setter>
void storeText(const char* key, const std::string& value, Setter set) {
    if (value.size() > MAX_CONFIG_TEXT) {
        LOG_SEV(error) << key << " of " << value.size() << " bytes refused, at most " << MAX_CONFIG_TEXT;
        return;
    }
    set(value);
}

}  // namespace

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
    runGuarded("SetAutoUpdateParamsHandler", reply, [&] {
        ConfigInfo& config = ConfigInfo::instance();
        Packets::Incoming::SetAutoUpdateParamsPacket packet;
        Packets::Incoming::parseSetAutoUpdateParamsPacket(request, packet);
        if (!packet.updateServer.empty())
            storeText("UPDATE_SERVER_IP", packet.updateServer, [&](const std::string& v) { config.setUpdateServer(v); });
        if (!packet.checkVersionPath.empty())
            storeText("CHECK_VERSION_PATH", packet.checkVersionPath,
                      [&](const std::string& v) { config.setCheckVersionPath(v); });
        if (!packet.downloadVersionPath.empty())
            storeText("DOWNLOAD_VERSION_PATH", packet.downloadVersionPath,
                      [&](const std::string& v) { config.setDownloadVersionPath(v); });
        config.saveAutoUpdateConfig();
        LOG_SEV(info) << "autoupdate params updated: ( IP: " << config.updateServer()
                      << ", DOWNLOAD_VERSION_PATH: " << config.downloadVersionPath()
                      << ", CHECK_VERSION_PATH:" << config.checkVersionPath() << ")";
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
    runGuarded("ProxyInfoHandler", reply, [&] {
        ConfigInfo& config = ConfigInfo::instance();
        Packets::Incoming::ProxyInfoPacket packet;
        Packets::Incoming::parseProxyInfoPacket(request, packet);
        config.setUseProxy(packet.useProxy != 0);
        storeText("PROXY_IP", packet.proxyAddress, [&](const std::string& v) { config.setProxyIP(v); });
        config.setProxyPort(static_cast<int>(packet.proxyPort));
        config.saveAutoUpdateConfig();
        // The values as stored: an address the configuration refused is not echoed into the log.
        LOG_SEV(info) << "receive proxy info: (use proxy: " << (config.useProxy() ? 1 : 0)
                      << ", proxyIP: " << config.proxyIP() << ", proxyPort: " << config.proxyPort() << ")";
    });
}

}  // namespace Handlers
