#include "handlers/IndividualOptionsHandler.h"

#include <exception>

#include <boost/exception/exception.hpp>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "calcdll_api/IndividualOptionsFeed.h"

namespace Handlers {

namespace {

using Packets::RequestStream;
namespace Incoming = Packets::Incoming;

RequestStream& parse(RequestStream& in, Incoming::v2::CalculateIndividualOptionTheosAndGreeksPacket& packet) {
    return Incoming::parseIndividualOptionTheosAndGreeks(in, packet);
}

RequestStream& parse(RequestStream& in, Incoming::v3::CalculateIndividualOptionTheosAndGreeksPacket& packet) {
    return Incoming::parseIndividualOptionTheosAndGreeksV3(in, packet);
}

}  // namespace

template <class Packet>
void IndividualOptionsHandler<Packet>::handle(RequestStream& request, std::vector<std::uint8_t>&,
                                              const std::vector<std::uint8_t>&) {
    try {
        Packet packet;
        parse(request, packet);
        feedIndividualOptions(packet);
    } catch (const boost::exception&) {
        LOG_SEV(error) << "CalculateIndividualTheoasAndGreeksHandler boost exception";
    } catch (const std::exception& e) {
        LOG_SEV(error) << "CalculateIndividualTheoasAndGreeksHandler exception : " << Logging::EscapeClientText(e.what());
    } catch (...) {
        LOG_SEV(fatal) << "CalculateIndividualTheoasAndGreeksHandler cauth unknown exception, SEH?";
    }
}

template class IndividualOptionsHandler<Incoming::v2::CalculateIndividualOptionTheosAndGreeksPacket>;
template class IndividualOptionsHandler<Incoming::v3::CalculateIndividualOptionTheosAndGreeksPacket>;

}  // namespace Handlers
