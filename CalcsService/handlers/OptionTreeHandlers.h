// BUILD_OPTION_TREE (279) and BUILD_OPTION_TREEv3 (281): registers an option root's calls and puts
// with the library, strike by strike, then applies the underlying's stock settings when it has any.
#pragma once

#include "handlers/BaseHandler.h"

namespace Handlers {

// 32-bit option ids.
class BuildOptionsTreeHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

namespace v3 {

// 64-bit option ids; its log lines name the handler themselves.
class BuildOptionsTreeHandler : public BaseHandler {
public:
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override;
};

}  // namespace v3

}  // namespace Handlers
