// The calculations service's server: accepts clients on 127.0.0.1 one at a time (a new client ends
// the previous session), and runs the updater thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include <boost/asio/io_context.hpp>
#include <boost/thread/thread.hpp>

#include "packets/PacketProcessor.h"
#include "server/CalcsSession.h"
#include "server/ServerBase.h"

struct ServerSettings {
    SessionTimings session;
    // What a session may hold for its client before it stops reading and taking requests.
    std::size_t backlogLimit = Network::Backlog::kDefaultLimit;
    std::chrono::milliseconds updaterDelay{15000};
    std::chrono::milliseconds updaterPeriod{900000};
    // Builds each session's handler table.
    std::function<Packets::PacketProcessor::HandlerTable()> handlers;
};

class server : public Network::ServerBase {
public:
    // Listens on 127.0.0.1:port (0: any free port) and waits for the first client. Throws
    // boost::system::system_error when it cannot listen.
    server(boost::asio::io_context& io, unsigned short port, ServerSettings settings);
    // Stops accepting and the updater and finishes the current session. Runs on the io_context's thread,
    // which no longer runs it (its handlers still pending then run here, before this object is gone).
    ~server() override;

private:
    std::shared_ptr<Network::SessionBase> makeSession() override;
    // A new client ends the previous session.
    void onAccepted(const std::shared_ptr<Network::SessionBase>& accepted) override;
    void onStopRequested(const std::weak_ptr<Network::SessionBase>& stopping) override;
    // Ends the current session and clears the library's state before anything else happens.
    void finishCurrentSession();
    void updaterFunc();

    std::atomic<bool> m_bStopUpdater{false};
    boost::thread m_updaterThread;
    const ServerSettings m_settings;
    std::shared_ptr<Network::SessionBase> m_currentSession;
};
