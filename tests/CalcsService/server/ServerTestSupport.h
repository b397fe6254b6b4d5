// Runs the calculations server on an ephemeral loopback port, on its own io_context thread, with test
// handlers and the fake calculation library, and records the order in which the library was called.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "CalcDll/BrkCalcDll.h"
#include "CalcsService/ServiceTestSupport.h"
#include "Logging/Log.h"
#include "calcdll_api/DllBridge.h"
#include "handlers/BaseHandler.h"
#include "server/CalcsServer.h"
#include "support/FakeCalcsBinding.h"
#include "support/ProtocolClient.h"

namespace servertest {

// Request types of the test handlers, and the type of their replies.
enum TestType : std::uint32_t {
    ECHO = 9001,           // replies with the request's body
    REGISTER_OPTION = 9003,  // registers an option with the library, then echoes
    SLOW_LIBRARY_CALL = 9004,  // a library call that takes SLOW_CALL (the fake's DumpStock), then echoes
    SLOW_ECHO = 9005,      // echoes after 200 ms
    WRONG_SIZE_REPLY = 9006,  // a reply whose size field is one too large
    SHORT_REPLY = 9007,    // a 10-byte reply
    LARGE_REPLY = 9008,    // a reply whose body is as many bytes as the request's u32 says
    ECHO_REPLY = 7001,
};

constexpr std::chrono::milliseconds SLOW_CALL{2000};

// The library calls the tests look at, in the order they happened.
class LibraryEvents {
public:
    static LibraryEvents& instance() {
        static LibraryEvents events;
        return events;
    }
    void add(const std::string& event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }
    std::vector<std::string> events() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// How many requests the test handlers have begun, for tests that bound the work a session takes on.
inline std::atomic<std::size_t>& handledRequests() {
    static std::atomic<std::size_t> count{0};
    return count;
}

inline void onPurge() { LibraryEvents::instance().add("purge"); }
inline void onCleanUp() { LibraryEvents::instance().add("cleanup"); }
inline void onDeinitialize() { LibraryEvents::instance().add("deinitialize"); }
inline int onRegister(const OptionKey*, int64_t, int) {
    LibraryEvents::instance().add("register");
    return 1;
}
inline void onDumpStock(const char*) {
    LibraryEvents::instance().add("slow call begins");
    std::this_thread::sleep_for(SLOW_CALL);
    LibraryEvents::instance().add("slow call ends");
}

// The fake library's record of calls, with the hooks above set.
inline FakeCalcsCalls& fakeLibrary() {
    FakeCalcsCalls& calls = FakeCalcsCalled();
    calls.hooks.purgeProcessingQueues = &onPurge;
    calls.hooks.cleanUpRecords = &onCleanUp;
    calls.hooks.deinitialize = &onDeinitialize;
    calls.hooks.registerOption = &onRegister;
    calls.hooks.dumpStock = &onDumpStock;
    return calls;
}

class TestHandler : public Handlers::BaseHandler {
public:
    explicit TestHandler(TestType type) : m_type(type) {}
    void handle(Packets::RequestStream& request, std::vector<std::uint8_t>& reply,
                const std::vector<std::uint8_t>& requestId) override {
        ++handledRequests();
        if (m_type == REGISTER_OPTION)
            CBrkCalcDll::Instance().RegisterOption(nullptr, 1, 0);
        if (m_type == SLOW_LIBRARY_CALL)
            CBrkCalcDll::Instance().DumpStock("SLOW");
        if (m_type == SLOW_ECHO)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (m_type == SHORT_REPLY) {
            reply.assign(10, 0);
            return;
        }
        testsupport::Bytes body(request.remaining());
        request.read(body.data(), body.size());
        if (m_type == LARGE_REPLY)
            body.assign(testsupport::dwordAt(body, 0), 0x5A);
        reply = testsupport::makePacket(ECHO_REPLY, 0, body);
        std::copy(requestId.begin(), requestId.end(), reply.begin() + 12);
        if (m_type == WRONG_SIZE_REPLY)
            ++reply[8];
    }

private:
    const TestType m_type;
};

inline Packets::PacketProcessor::HandlerTable testHandlers() {
    Packets::PacketProcessor::HandlerTable handlers;
    for (TestType type :
         {ECHO, REGISTER_OPTION, SLOW_LIBRARY_CALL, SLOW_ECHO, WRONG_SIZE_REPLY, SHORT_REPLY, LARGE_REPLY})
        handlers[static_cast<int>(type)] = std::make_shared<TestHandler>(type);
    return handlers;
}

// Pauses short enough for tests; the updater never runs.
inline ServerSettings testSettings() {
    ServerSettings settings;
    settings.session.settlePause = std::chrono::milliseconds(0);
    settings.session.drainPause = std::chrono::milliseconds(50);
    settings.updaterDelay = std::chrono::hours(1);
    settings.handlers = testHandlers;
    return settings;
}

// A running server with its log in a folder of its own.
class RunningServer {
public:
    // ownThread false: the test runs the io_context itself, on its own thread.
    explicit RunningServer(ServerSettings settings = testSettings(), bool ownThread = true) {
        Logging::initLogging(m_logs.str() + "/Logs/Server%Y-%b-%d.log");
        m_server = std::make_unique<server>(m_io, 0, std::move(settings));
        if (ownThread)
            m_thread = std::thread([this] { m_io.run(); });
    }
    ~RunningServer() { stop(); }

    // Stops the io_context and destroys the server, as the service's main thread does.
    void stop() {
        if (!m_server)
            return;
        m_io.stop();
        if (m_thread.joinable())
            m_thread.join();
        m_server.reset();
    }

    boost::asio::io_context& io() { return m_io; }
    unsigned short port() const { return m_server->port(); }
    std::vector<std::string> log() const { return testsupport::logMessages(m_logs.path()); }
    bool waitForLog(const std::string& message) const { return testsupport::waitForLogMessage(m_logs.path(), message); }
    std::size_t countLog(const std::string& prefix) const {
        std::size_t count = 0;
        for (const auto& line : log())
            count += line.rfind(prefix, 0) == 0;
        return count;
    }

private:
    testsupport::TempDir m_logs;
    boost::asio::io_context m_io;
    std::unique_ptr<server> m_server;
    std::thread m_thread;
};

// Sends an echo request with the body and returns the reply's body; empty when none came.
inline testsupport::Bytes echo(testsupport::ProtocolClient& client, const testsupport::Bytes& body,
                               std::uint32_t type = ECHO) {
    if (!client.send(testsupport::makePacket(type, 8, body)))
        return {};
    const auto reply = client.readPacket();
    if (!reply || reply->size() < 28)
        return {};
    return testsupport::Bytes(reply->begin() + 28, reply->end());
}

}  // namespace servertest
