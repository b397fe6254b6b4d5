// libFuzzer target: control packets through the control packet processor into the control body readers.
// The first input byte picks how the rest is sent: with its high bit set the rest is a raw packet,
// header included; otherwise it picks a control type and the rest is that request's body behind a valid
// header. A malformed body throws, as the session worker expects; anything else that escapes is a fault.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <boost/log/core.hpp>

#include "FuzzedPacket.h"

#include "handlers/ControlRequestReaders.h"
#include "packets/ProxyInfoPacket.h"
#include "packets/SetAutoUpdateParamsPacket.h"
#include "server/ControlPacketProcessor.h"

namespace {

using Packets::RequestStream;
using Bytes = std::vector<std::uint8_t>;

template <class Read>
class ReadOnly : public Handlers::BaseHandler {
public:
    explicit ReadOnly(Read read) : m_read(read) {}
    void handle(RequestStream& request, Bytes&, const Bytes&) override { m_read(request); }

private:
    Read m_read;
};

template <class Read>
std::shared_ptr<Handlers::BaseHandler> reader(Read read) {
    return std::make_shared<ReadOnly<Read>>(read);
}

const Packets::PacketProcessor::HandlerTable& handlerTable() {
    static const Packets::PacketProcessor::HandlerTable table = {
        {3, reader([](RequestStream& in) { Handlers::readSwitch2DebugRequest(in); })},
        {4, reader([](RequestStream& in) { Handlers::readControlString(in); })},
        {5, reader([](RequestStream& in) {
             Packets::Incoming::ProxyInfoPacket packet;
             Packets::Incoming::parseProxyInfoPacket(in, packet);
         })},
        {7, reader([](RequestStream& in) {
             Packets::Incoming::SetAutoUpdateParamsPacket packet;
             Packets::Incoming::parseSetAutoUpdateParamsPacket(in, packet);
         })},
    };
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Rejected packets are logged; that is not what is being tested, and it is slow.
    boost::log::core::get()->set_logging_enabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const Control::PacketProcessor processor(handlerTable());
    const Bytes packet = Fuzz::fuzzedPacket(data, size, handlerTable(), Control::PROTOCOL_VERSION);
    Bytes reply;
    try {
        processor.process(packet, reply);
    } catch (const std::runtime_error&) {
        // A malformed body: the worker ends the session.
    }
    return 0;
}
