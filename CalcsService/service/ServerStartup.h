// What a service's main thread tells the service module about its server's start: the module reports
// the service running only once the server listens, and a server that cannot listen fails the start.
#pragma once

#include <string>

class ServerStartup {
public:
    // The server's socket is bound and listening: clients can connect from now on.
    virtual void listening() = 0;
    // Why the server cannot run, in one line that names the address, the port and the cause. Taken as
    // the reason of the failed start when it comes before listening(), and ignored after it.
    virtual void failed(const std::string& reason) = 0;

protected:
    ~ServerStartup() = default;
};
