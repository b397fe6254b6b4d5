// The control service's request handlers by packet type.
#pragma once

#include "packets/PacketProcessor.h"

namespace process {
class ClientRestarter;
}

namespace Handlers {

// A fresh table with the handlers of the types 1 to 9. Type 4 restarts through `restarter`, which must
// outlive the table.
Packets::PacketProcessor::HandlerTable controlHandlerTable(process::ClientRestarter& restarter);

}  // namespace Handlers
