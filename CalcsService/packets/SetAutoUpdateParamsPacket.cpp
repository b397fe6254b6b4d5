#include "packets/SetAutoUpdateParamsPacket.h"

#include "packets/RequestReaders.h"

namespace Packets::Incoming {

RequestStream& parseSetAutoUpdateParamsPacket(RequestStream& in, SetAutoUpdateParamsPacket& packet) {
    readString(in, packet.updateServer);
    readString(in, packet.checkVersionPath);
    return readString(in, packet.downloadVersionPath);
}

}  // namespace Packets::Incoming
