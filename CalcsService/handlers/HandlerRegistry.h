// Every request handler of the calculations service, by packet type.
#pragma once

#include "packets/PacketProcessor.h"

namespace Handlers {

// A fresh table with one handler object for each of the service's twenty request types.
Packets::PacketProcessor::HandlerTable calculationHandlers();

}  // namespace Handlers
