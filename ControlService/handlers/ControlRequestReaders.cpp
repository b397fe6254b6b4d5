#include "handlers/ControlRequestReaders.h"

#include <stdexcept>

#include "packets/RequestReaders.h"

namespace Handlers {

std::string readControlString(Packets::RequestStream& request) {
    std::uint32_t count = 0;
    if (!Packets::readDword(request, count))
        throw std::runtime_error("request body ends inside a string count");
    if (count > request.remaining())
        throw std::runtime_error("string of " + std::to_string(count) + " bytes exceeds the " +
                                 std::to_string(request.remaining()) + " bytes left");
    std::string text(count, '\0');
    request.read(&text[0], count);
    return text;
}

Switch2DebugRequest readSwitch2DebugRequest(Packets::RequestStream& request) {
    Switch2DebugRequest body;
    Packets::readByte(request, body.on);
    body.folder = readControlString(request);
    return body;
}

}  // namespace Handlers
