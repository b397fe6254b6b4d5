// SET_AUTOUPDATE_INFO (and the control service's equivalent): where the updater looks for
// versions. An empty string means: keep the stored value.
#pragma once

#include <string>

#include "packets/RequestStream.h"

namespace Packets::Incoming {

// Members in declaration order; the wire sends server, check path, download path.
struct SetAutoUpdateParamsPacket {
    std::string updateServer;
    std::string downloadVersionPath;
    std::string checkVersionPath;
};

RequestStream& parseSetAutoUpdateParamsPacket(RequestStream& in, SetAutoUpdateParamsPacket& packet);

}  // namespace Packets::Incoming
