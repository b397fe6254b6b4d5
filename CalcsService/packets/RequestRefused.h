// A request refused for what its body holds: a value outside what the service can do, or a body
// that ends inside a field. Nothing of the request has been carried out when it is thrown. The
// packet processor that catches it writes the one line that says so and names the request type;
// what() names the field and its value.
#pragma once

#include <stdexcept>
#include <string>

#include "packets/RequestStream.h"

namespace Packets {

class RequestRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A request is carried out whole or not at all: throws when the body ended inside a field.
inline void refuseIfBodyEnded(const RequestStream& body) {
    if (body.endedInsideField())
        throw RequestRefused("the body ends inside a field");
}

}  // namespace Packets
