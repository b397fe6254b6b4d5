#include "handlers/ControlRequestReaders.h"

#include <stdexcept>

#include "packets/RequestReaders.h"

namespace Handlers {

std::string readControlString(Packets::RequestStream& request) {
    std::string text;
    if (!Packets::readString(request, text))
        throw std::runtime_error("request body ends inside a string");
    return text;
}

Switch2DebugRequest readSwitch2DebugRequest(Packets::RequestStream& request) {
    Switch2DebugRequest body;
    Packets::readByte(request, body.on);
    body.folder = readControlString(request);
    return body;
}

}  // namespace Handlers
