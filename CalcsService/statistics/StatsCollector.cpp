#include "statistics/StatsCollector.h"

#include <exception>
#include <sstream>

#include <boost/chrono.hpp>

#include "Logging/Log.h"
#include "packets/PacketTypes.h"

namespace Statistics {

std::string reportText(const PacketStatsMap& counters) {
    std::ostringstream text;
    bool any = false;
    for (const auto& [type, stats] : counters) {
        if (stats.count == 0)
            continue;
        if (!any)
            text << "statistics for last " << 5 << " min:";
        any = true;
        text << "\n\t\t\t" << Packets::packetTypeName(type) << ", count: " << stats.count << ", min: " << stats.minMs
             << "ms, avg:" << stats.totalMs / stats.count << "ms, max:" << stats.maxMs << "ms, "
             << "in: " << stats.bytesIn << ", out: " << stats.bytesOut;
    }
    return text.str();
}

StatsCollector::StatsCollector(std::chrono::milliseconds interval)
    : m_interval(interval), m_thread(&StatsCollector::threadFunc, this) {}

StatsCollector::~StatsCollector() {
    LOG_SEV(info) << "Start destroying StatsCollector";
    m_thread.interrupt();
    if (m_thread.try_join_for(boost::chrono::seconds(kStopTimeout.count()))) {
        LOG_SEV(info) << "Finish destroying StatsCollector, success";
    } else {
        LOG_SEV(warning) << "Finish destroying StatsCollector, failed - time out";
        // The thread uses this object: it must be gone before the members are.
        m_thread.join();
    }
}

void StatsCollector::registerPacketProcessing(std::uint32_t type, std::uint32_t elapsedMs,
                                              std::uint64_t requestLength, std::uint64_t replyLength) {
    try {
        std::lock_guard<std::mutex> lock(m_mutex);
        PacketStats& stats = m_counters[type];
        if (stats.count == 0) {
            stats.minMs = elapsedMs;
            stats.maxMs = elapsedMs;
        } else {
            if (elapsedMs < stats.minMs)
                stats.minMs = elapsedMs;
            if (elapsedMs > stats.maxMs)
                stats.maxMs = elapsedMs;
        }
        ++stats.count;
        stats.totalMs += elapsedMs;
        stats.bytesIn += requestLength;
        stats.bytesOut += replyLength;
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: " << e.what();
    } catch (...) {
        LOG_SEV(error) << "unknown exception in StatsCollector::registerPacketProcessing";
    }
}

void StatsCollector::threadFunc() {
    LOG_SEV(info) << "stats thread started";
    try {
        // Deadlines follow one another at fixed steps, whatever the wall clock does.
        auto deadline = boost::chrono::steady_clock::now();
        for (;;) {
            boost::this_thread::interruption_point();
            deadline += boost::chrono::milliseconds(m_interval.count());
            boost::this_thread::sleep_until(deadline);
            report();
        }
    } catch (const boost::thread_interrupted&) {
        LOG_SEV(warning) << "stats collector interrupted";
    } catch (const std::exception& e) {
        LOG_SEV(error) << "StatsCollector exception:" << e.what();
    } catch (...) {
        LOG_SEV(error) << "Stats collector::unhandled exception";
    }
    LOG_SEV(info) << "stats thread finished";
}

void StatsCollector::report() {
    PacketStatsMap counters;
    {
        // The worker never waits for the log write.
        std::lock_guard<std::mutex> lock(m_mutex);
        counters.swap(m_counters);
    }
    const std::string text = reportText(counters);
    if (!text.empty())
        LOG_SEV(info) << text;
}

}  // namespace Statistics
