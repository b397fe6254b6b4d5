// Reading control request bodies. A string that the body cannot hold whole is a malformed request: it
// throws before anything is allocated, and the session that received it ends.
#pragma once

#include <cstdint>
#include <string>

#include "packets/RequestStream.h"

namespace Handlers {

// A wire string (u32 byte count, then the bytes). Throws Packets::RequestRefused when the count or
// the bytes go beyond the end of the body.
std::string readControlString(Packets::RequestStream& request);

// The body of the debug-mode request (type 3): u8 on, string folder.
struct Switch2DebugRequest {
    std::uint8_t on = 0;
    std::string folder;
};
Switch2DebugRequest readSwitch2DebugRequest(Packets::RequestStream& request);

}  // namespace Handlers
