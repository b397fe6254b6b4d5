#include "server/ControlSession.h"

#include <exception>
#include <utility>

#include <boost/system/system_error.hpp>
#include <boost/thread/exceptions.hpp>

#include "Logging/ClientText.h"
#include "Logging/Log.h"

namespace Control {

session::session(boost::asio::io_context& io, Packets::PacketProcessor::HandlerTable handlers)
    : Network::SessionBase(io, Replies::writtenAtOnce), m_processor(std::move(handlers)) {}

session::~session() {
    // The worker uses the processor: finish while it exists.
    finish();
}

void session::processPacket(const PacketPtr& packet) {
    try {
        Packet reply;
        m_processor.process(*packet, reply);
        queueReply(std::move(reply));
    } catch (const boost::thread_interrupted&) {
        LOG_SEV(error) << "thread is interrupted";
        disconnect();
    } catch (const boost::system::system_error& e) {
        LOG_SEV(error) << "exception in workerFunc, " << Logging::EscapeClientText(e.what());
        disconnect();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception in workerFunc, " << Logging::EscapeClientText(e.what());
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "exception in workerFunc";
        disconnect();
    }
}

}  // namespace Control
