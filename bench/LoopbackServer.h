// The calculations server for benchmarks: on a free loopback port, its io_context on a thread of its
// own, without the sessions' pauses and with the updater an hour off; and the latency counters the
// round-trip benchmarks report.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "server/CalcsServer.h"

namespace benchsupport {

class LoopbackServer {
public:
    explicit LoopbackServer(std::function<Packets::PacketProcessor::HandlerTable()> handlers) {
        ServerSettings settings;
        settings.session.drainPause = std::chrono::milliseconds(0);
        settings.session.settlePause = std::chrono::milliseconds(0);
        settings.updaterDelay = std::chrono::hours(1);
        settings.handlers = std::move(handlers);
        m_server = std::make_unique<server>(m_io, 0, std::move(settings));
        m_thread = std::thread([this] { m_io.run(); });
    }
    ~LoopbackServer() {
        m_io.stop();
        m_thread.join();
        m_server.reset();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    unsigned short port() const { return m_server->port(); }

private:
    boost::asio::io_context m_io;
    std::unique_ptr<server> m_server;
    std::thread m_thread;
};

// Sets the counters p50_us and p99_us from round-trip times in microseconds (reordering them).
inline void reportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty())
        return;
    const auto at = [&](double p) {
        const auto n = static_cast<std::size_t>(p * (micros.size() - 1));
        std::nth_element(micros.begin(), micros.begin() + n, micros.end());
        return micros[n];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
}

}  // namespace benchsupport
