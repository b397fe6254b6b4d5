// One control client's connection: its requests run one at a time, in arrival order, on the session's
// worker; nothing is answered. When the client hangs up, the requests it sent before are still run
// (a "stop" followed at once by a close must still stop the service), then the session ends.
#pragma once

#include "packets/PacketProcessor.h"
#include "server/ControlPacketProcessor.h"
#include "server/SessionBase.h"

namespace Control {

class session : public Network::SessionBase {
public:
    session(boost::asio::io_context& io, Packets::PacketProcessor::HandlerTable handlers);
    ~session() override;

protected:
    // A handler that throws (a malformed body) ends the session.
    void processPacket(const PacketPtr& packet) override;
    bool endsWhenClientLeaves() const override { return true; }

private:
    const PacketProcessor m_processor;
};

}  // namespace Control
