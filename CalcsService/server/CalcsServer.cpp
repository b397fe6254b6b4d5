#include "server/CalcsServer.h"

#include <utility>

#include <boost/chrono.hpp>

#include "Logging/Log.h"
#include "service/AutoUpdater.h"

server::server(boost::asio::io_context& io, unsigned short port, ServerSettings settings)
    : ServerBase(io, port), m_settings(std::move(settings)) {
    startAccept();
    m_updaterThread = boost::thread(&server::updaterFunc, this);
}

server::~server() {
    LOG_SEV(warning) << "~server";
    stopAccepting();
    m_bStopUpdater = true;
    LOG_SEV(info) << "Start server destruction";
    m_updaterThread.interrupt();
    if (m_updaterThread.joinable())
        m_updaterThread.join();
    LOG_SEV(info) << "Updater thread was stopped";
    LOG_SEV(info) << "Finish server destruction";
    finishCurrentSession();
    runPendingHandlers();
}

std::shared_ptr<Network::SessionBase> server::makeSession() {
    return std::make_shared<session>(m_io, m_settings.handlers ? m_settings.handlers()
                                                               : Packets::PacketProcessor::HandlerTable(),
                                     m_settings.session, m_settings.backlogLimit);
}

void server::onAccepted(const std::shared_ptr<Network::SessionBase>& accepted) {
    LOG_SEV(info) << "accept connection, use session: " << accepted->address();
    if (m_currentSession) {
        const std::string previous = m_currentSession->address();
        finishCurrentSession();
        LOG_SEV(warning) << "force to close a previous session: " << previous;
    }
    m_currentSession = accepted;
}

void server::finishCurrentSession() {
    if (!m_currentSession)
        return;
    m_currentSession->finish();
    m_currentSession.reset();
}

void server::onStopRequested(const std::weak_ptr<Network::SessionBase>& stopping) {
    const auto stopped = stopping.lock();
    if (stopped && stopped == m_currentSession)
        finishCurrentSession();
}

void server::updaterFunc() {
    LOG_SEV(info) << "Updater thread was started";
    try {
        boost::this_thread::sleep_for(boost::chrono::milliseconds(m_settings.updaterDelay.count()));
        while (!m_bStopUpdater) {
            autoUpdateStep();
            boost::this_thread::interruption_point();
            boost::this_thread::sleep_for(boost::chrono::milliseconds(m_settings.updaterPeriod.count()));
        }
    } catch (const boost::thread_interrupted&) {
        LOG_SEV(warning) << "Updater interrupted";
    } catch (const boost::thread_exception& e) {
        LOG_SEV(error) << "Updater thread_exception: " << e.what();
    } catch (const boost::exception&) {
        LOG_SEV(error) << "Updater exception";
    } catch (...) {
        LOG_SEV(error) << "Updater unknown exception";
    }
    LOG_SEV(info) << "Updater thread func exit";
}
