#include "handlers/ControlRequestReaders.h"

#include "packets/RequestReaders.h"
#include "packets/RequestRefused.h"

namespace Handlers {

std::string readControlString(Packets::RequestStream& request) {
    std::string text;
    if (!Packets::readString(request, text))
        throw Packets::RequestRefused("the body ends inside a string");
    return text;
}

Switch2DebugRequest readSwitch2DebugRequest(Packets::RequestStream& request) {
    Switch2DebugRequest body;
    Packets::readByte(request, body.on);
    body.folder = readControlString(request);
    return body;
}

}  // namespace Handlers
