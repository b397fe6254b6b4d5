// The service module of both services: starts the service's main thread before the message loop and
// stops it after.
#pragma once

#include <atomic>
#include <chrono>

#include <boost/thread/thread.hpp>

#include "platform/ServiceModule.h"
#include "service/ServiceValues.h"

class CTeskServiceModule : public platform::CServiceModule {
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
    int PreMessageLoop() override;
    int PostMessageLoop() override;

private:
    // A main thread that returns before the stop (its server could not run) stops the service, which
    // then ends with a failure status.
    void runMainThread();

    const ServiceValues& m_values;
    const std::chrono::milliseconds m_mainThreadStopTimeout;
    std::atomic<bool> m_bStopping{false};
    std::atomic<bool> m_bMainThreadFailed{false};
    boost::thread m_mainThread;
};
