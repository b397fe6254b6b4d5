// The calculations service's client session: its packets go through the packet processor and the
// statistics, an alternative thread forwards the library's asynchronous results, and the end of the
// session clears the library's state for the next client.
#pragma once

#include <chrono>
#include <cstddef>

#include "packets/PacketProcessor.h"
#include "server/SessionBase.h"
#include "statistics/StatsCollector.h"

// The pauses of a session; tests shorten them.
struct SessionTimings {
    // How often the library's asynchronous results are collected.
    std::chrono::milliseconds resultsPeriod{450};
    // After the results were dropped, before the library's queues are purged.
    std::chrono::milliseconds settlePause{100};
    // Between purging the library's queues and releasing its records: the queues drain meanwhile.
    std::chrono::milliseconds drainPause{5000};
    std::chrono::milliseconds statsInterval{Statistics::StatsCollector::kReportInterval};
};

class session : public Network::SessionBase {
public:
    session(boost::asio::io_context& io, Packets::PacketProcessor::HandlerTable handlers,
            const SessionTimings& timings = SessionTimings(),
            std::size_t backlogLimit = Network::Backlog::kDefaultLimit);
    ~session() override;

protected:
    void processPacket(const PacketPtr& packet) override;
    void onStarted() override;
    void joinThreads() override;
    void onFinished() override;

private:
    void altWorkFunc();

    const SessionTimings m_timings;
    Statistics::StatsCollector m_stats;
    Packets::PacketProcessor m_processor;
    boost::thread m_altThread;
};
