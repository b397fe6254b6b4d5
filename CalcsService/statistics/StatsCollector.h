// Per-session packet statistics: the worker reports every processed packet, and a thread of the
// collector logs a summary per packet type once per interval and starts counting afresh.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include <boost/thread/thread.hpp>

namespace Statistics {

// The counters of one packet type since the last report.
struct PacketStats {
    std::uint64_t count = 0;
    std::uint64_t totalMs = 0;
    std::uint32_t minMs = 0;
    std::uint32_t maxMs = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
};

using PacketStatsMap = std::map<std::uint32_t, PacketStats>;

// The report's text for the counters, types ascending; empty when there is nothing to report.
std::string reportText(const PacketStatsMap& counters);

class StatsCollector {
public:
    static constexpr std::chrono::seconds kReportInterval{300};
    static constexpr std::chrono::seconds kStopTimeout{2};

    explicit StatsCollector(std::chrono::milliseconds interval = kReportInterval);
    // Stops the thread, also while it sleeps; a thread that outlives the timeout is logged and still joined.
    ~StatsCollector();
    StatsCollector(const StatsCollector&) = delete;
    StatsCollector& operator=(const StatsCollector&) = delete;

    // Never throws: statistics must not fail a request.
    void registerPacketProcessing(std::uint32_t type, std::uint32_t elapsedMs, std::uint64_t requestLength,
                                  std::uint64_t replyLength);

private:
    void threadFunc();
    // Logs the counters gathered since the last report and clears them.
    void report();

    const std::chrono::milliseconds m_interval;
    PacketStatsMap m_counters;
    std::mutex m_mutex;  // guards m_counters
    boost::thread m_thread;  // last: it starts once everything it uses exists
};

}  // namespace Statistics
