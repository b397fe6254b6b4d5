#include "server/CalcsSession.h"

#include <cstdint>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

#include "CalcDll/BrkCalcDll.h"
#include "Logging/Log.h"
#include "calcdll_api/DllBridge.h"
#include "models/RequestStop.h"

session::session(boost::asio::io_context& io, Packets::PacketProcessor::HandlerTable handlers,
                 const SessionTimings& timings, std::size_t backlogLimit)
    : Network::SessionBase(io, Replies::sendThread, backlogLimit),
      m_timings(timings),
      m_stats(timings.statsInterval),
      m_processor(std::move(handlers)) {}

session::~session() {
    // The hooks below use this object's members: finish while they exist.
    finish();
}

void session::processPacket(const PacketPtr& packet) {
    const auto started = std::chrono::steady_clock::now();
    Packet reply;
    // A stop or a replacing client cuts the request short, and its reply is dropped.
    const models::StopScope stopScope(&stopFlag());
    const int type = m_processor.process(*packet, reply);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    const std::size_t replySize = reply.size();
    queueReply(std::move(reply));
    m_stats.registerPacketProcessing(static_cast<std::uint32_t>(type),
                                     elapsed > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(elapsed),
                                     packet->size(), replySize);
}

void session::onStarted() {
    m_altThread = boost::thread(&session::altWorkFunc, this);
}

void session::joinThreads() {
    if (m_altThread.joinable())
        m_altThread.join();
}

void session::onFinished() {
    wakeAsyncResults();
    std::this_thread::sleep_for(m_timings.settlePause);
    try {
        // The library requires that no record is queued or in processing when its records are released.
        CBrkCalcDll::Instance().PurgeProcessingQueues();
        std::this_thread::sleep_for(m_timings.drainPause);
        CBrkCalcDll::Instance().CleanUpRecords();
        ExternalCalcs::Clear();
    } catch (const std::exception& e) {
        LOG_SEV(error) << " disconnect exception: " << e.what();
    } catch (...) {
        LOG_SEV(error) << "disconnect: clearing records unknown error";
    }
}

void session::altWorkFunc() {
    LOG_SCOPE("session::altWorkFunc");
    LOG_SEV(info) << "alternative thread started";
    try {
        std::vector<Packet> results;
        while (!isStopping()) {
            takeAsyncResults(results);
            for (auto& packet : results)
                queueReply(std::move(packet));
            results.clear();
            waitForStop(m_timings.resultsPeriod);
        }
    } catch (const std::exception& e) {
        LOG_SEV(error) << "expception in alternativeWorkerFunc:" << e.what();
        disconnect();
    } catch (...) {
        LOG_SEV(error) << "unknown expception in alternativeWorkerFunc";
        disconnect();
    }
    LOG_SEV(info) << "alternative thread terminated";
}
