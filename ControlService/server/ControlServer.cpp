#include "server/ControlServer.h"

#include <exception>
#include <utility>

#include <boost/chrono.hpp>

#include "Logging/Log.h"
#include "service/AutoUpdater.h"

namespace Control {

server::server(boost::asio::io_context& io, unsigned short port, ServerSettings settings)
    : ServerBase(io, port), m_settings(std::move(settings)) {
    startAccept();
    LOG_SEV(info) << "session started:";
    m_bStopUpdater = false;
    m_updaterThread = boost::thread(&server::updaterFunc, this);
}

server::~server() {
    LOG_SEV(warning) << "~server";
    m_bStopUpdater = true;
    stopAccepting();
    // No queued request may start once the stop has begun, whichever session is joined first.
    for (const auto& started : m_sessions)
        started->disconnect();
    m_updaterThread.interrupt();
    if (m_updaterThread.joinable())
        m_updaterThread.join();
    for (const auto& started : m_sessions)
        started->finish();
    m_sessions.clear();
    runPendingHandlers();
    LOG_SEV(info) << "Finish server destruction";
}

std::shared_ptr<Network::SessionBase> server::makeSession() {
    return std::make_shared<session>(m_io, m_settings.handlers ? m_settings.handlers()
                                                               : Packets::PacketProcessor::HandlerTable());
}

void server::onAccepted(const std::shared_ptr<Network::SessionBase>& accepted) {
    LOG_SEV(info) << "a new connection";
    makeRoom();
    m_sessions.insert(accepted);
}

void server::makeRoom() {
    std::shared_ptr<Network::SessionBase> idlest;
    std::size_t live = 0;
    for (const auto& started : m_sessions) {
        if (started->isStopping())
            continue;
        ++live;
        if (!idlest || started->lastActivity() < idlest->lastActivity())
            idlest = started;
    }
    if (live < m_settings.maxSessions || !idlest)
        return;
    LOG_SEV(warning) << "too many sessions, closing the one idle the longest: " << idlest->address();
    idlest->disconnect();
}

void server::onStopRequested(const std::weak_ptr<Network::SessionBase>& stopping) {
    const auto ended = stopping.lock();
    if (!ended || !m_sessions.erase(ended))
        return;
    ended->finish();
}

void server::updaterFunc() {
    try {
        while (!m_bStopUpdater) {
            autoUpdateStep();
            boost::this_thread::interruption_point();
            boost::this_thread::sleep_for(boost::chrono::milliseconds(m_settings.updaterPeriod.count()));
        }
    } catch (const boost::thread_interrupted&) {
    } catch (const std::exception& e) {
        LOG_SEV(error) << "Updater exception: " << e.what();
    }
}

}  // namespace Control
