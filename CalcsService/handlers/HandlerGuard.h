// The catch-all most handlers end with: a request whose work throws gets no reply, the failure is
// logged at fatal as "<handler> cauth unknown exception, SEH?" and the session goes on. A request
// that gave way to a stop is dropped the same way, with an info line instead.
#pragma once

#include <cstdint>
#include <vector>

#include "Logging/Log.h"
#include "models/RequestStop.h"

namespace Handlers {

// Runs `work`; should it give way to a stop, empties `reply` and says so. Other failures pass.
template <class Work>
void dropIfStopped(const char* handlerName, std::vector<std::uint8_t>& reply, Work&& work) {
    try {
        work();
    } catch (const models::RequestStopped& e) {
        reply.clear();
        LOG_SEV(info) << handlerName << ": " << e.what();
    }
}

// Runs `work`; should it throw, empties `reply` and logs the handler's line.
template <class Work>
void runGuarded(const char* handlerName, std::vector<std::uint8_t>& reply, Work&& work) {
    try {
        dropIfStopped(handlerName, reply, work);
    } catch (...) {
        reply.clear();
        LOG_SEV(fatal) << handlerName << " cauth unknown exception, SEH?";
    }
}

}  // namespace Handlers
