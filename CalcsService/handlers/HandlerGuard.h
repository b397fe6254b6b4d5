// The catch-all most handlers end with: a request whose work throws gets no reply, the failure is
// logged at fatal as "<handler> cauth unknown exception, SEH?" and the session goes on.
#pragma once

#include <cstdint>
#include <vector>

#include "Logging/Log.h"

namespace Handlers {

// Runs `work`; should it throw, empties `reply` and logs the handler's line.
template <class Work>
void runGuarded(const char* handlerName, std::vector<std::uint8_t>& reply, Work&& work) {
    try {
        work();
    } catch (...) {
        reply.clear();
        LOG_SEV(fatal) << handlerName << " cauth unknown exception, SEH?";
    }
}

}  // namespace Handlers
