// The interface of every request handler, shared by both services.
#pragma once

#include <cstdint>
#include <vector>

#include "packets/RequestStream.h"

namespace Handlers {

class BaseHandler {
public:
    // `request` covers the packet's body; `reply` arrives empty and is left empty when the
    // request has no answer, else filled with one complete reply packet; `requestId` holds the
    // request's 16 id bytes.
    virtual void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                        const std::vector<std::uint8_t>& requestId) = 0;
    virtual ~BaseHandler() = default;
};

}  // namespace Handlers
