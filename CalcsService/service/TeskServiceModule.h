// The service module of both services: starts the service's main thread before the message loop and
// stops it after. The service reports running only once the main thread's server listens; a main
// thread that ends before it does fails the start, with the reason it gave as the service's exit text.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include <boost/thread/thread.hpp>

#include "platform/ServiceModule.h"
#include "service/ServerStartup.h"
#include "service/ServiceValues.h"

class CTeskServiceModule : public platform::CServiceModule, private ServerStartup {
public:
    static constexpr std::chrono::milliseconds kMainThreadStopTimeout{30000};

    // The service name is string 100 of the executable.
    explicit CTeskServiceModule(const ServiceValues& values,
                                std::chrono::milliseconds mainThreadStopTimeout = kMainThreadStopTimeout);
    // Joins a main thread that is still joinable; the program never gets here with a hung one, because
    // it ends directly when hasUnjoinedMainThread says so.
    ~CTeskServiceModule() override;

    // True when the main thread was started and has not been joined (it outlived its stop timeout, or
    // an exception came between): the process must then end without running static destructors.
    bool hasUnjoinedMainThread() const;

protected:
    // Starts the main thread and waits until its server listens, the thread has ended (the start fails:
    // EXIT_FAILURE) or a stop was asked for.
    int PreMessageLoop() override;
    // EXIT_FAILURE, with the reason as the exit text, when the main thread does not stop in time or the
    // start had failed.
    int PostMessageLoop() override;
    void OnStopRequested() override;
    void OnStatusNotRecorded(unsigned state, int error) override;

private:
    enum class Startup { Starting, Listening, Ended };

    void listening() override;
    void failed(const std::string& reason) override;
    // A main thread whose server never listened fails the start, whether or not a stop came meanwhile; one
    // that returns after listening but before the stop stops the service, which then ends with a failure
    // status.
    void runMainThread();

    const ServiceValues& m_values;
    const std::chrono::milliseconds m_mainThreadStopTimeout;
    std::atomic<bool> m_bStopping{false};
    std::atomic<bool> m_bMainThreadFailed{false};
    boost::thread m_mainThread;
    std::mutex m_startupMutex;  // guards the three members below
    std::condition_variable m_startupChanged;
    Startup m_startup = Startup::Starting;
    bool m_bStopRequested = false;
    std::string m_strStartFailure;
};
