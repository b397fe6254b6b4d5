#include "packets/ProxyInfoPacket.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

RequestStream& parseProxyInfoPacket(RequestStream& in, ProxyInfoPacket& packet) {
    readByte(in, packet.useProxy);
    readString(in, packet.proxyAddress);
    return readDword(in, packet.proxyPort);
}

}  // namespace Packets::Incoming
