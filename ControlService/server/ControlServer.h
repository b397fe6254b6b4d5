// The control service's server: accepts control clients on 127.0.0.1, several at a time (up to a
// cap), each with a session of its own, and runs the control service's updater thread. The port is
// unauthenticated and its requests start programs, so it is never offered beyond this machine.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <set>

#include <boost/asio/io_context.hpp>
#include <boost/thread/thread.hpp>

#include "packets/PacketProcessor.h"
#include "server/ControlSession.h"
#include "server/ServerBase.h"

namespace Control {

struct ServerSettings {
    // Between two looks for a new version of the control service (the first is at once).
    std::chrono::milliseconds updaterPeriod{300000};
    // Sessions alive at once; each costs a descriptor and a thread. A client beyond them takes the place
    // of the session idle the longest.
    std::size_t maxSessions = 64;
    // Builds each session's handler table.
    std::function<Packets::PacketProcessor::HandlerTable()> handlers;
};

class server : public Network::ServerBase {
public:
    // Listens on 127.0.0.1:port (0: any free port). Throws boost::system::system_error when it cannot.
    server(boost::asio::io_context& io, unsigned short port, ServerSettings settings);
    // Stops accepting and the updater, and finishes every session: all of them stop at once (queued
    // requests are dropped, a request in progress completes), then each is joined. Runs on the
    // io_context's thread after its run has returned.
    ~server() override;

private:
    std::shared_ptr<Network::SessionBase> makeSession() override;
    void onAccepted(const std::shared_ptr<Network::SessionBase>& accepted) override;
    void onStopRequested(const std::weak_ptr<Network::SessionBase>& stopping) override;
    // At the cap, stops the live session that read nothing for the longest (it is finished once it
    // has asked to end, as any other).
    void makeRoom();
    void updaterFunc();

    std::atomic<bool> m_bStopUpdater{false};
    boost::thread m_updaterThread;
    const ServerSettings m_settings;
    // The started sessions, until each has ended; used on the io_context's thread only.
    std::set<std::shared_ptr<Network::SessionBase>> m_sessions;
};

}  // namespace Control
