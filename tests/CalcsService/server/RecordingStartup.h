// What a service's main thread tells the service module about its server's start, recorded in order.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "service/ServerStartup.h"

namespace servertest {

class RecordingStartup : public ServerStartup {
public:
    void listening() override { record("listening"); }
    void failed(const std::string& reason) override { record("failed: " + reason); }

    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    void record(const std::string& event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
};

}  // namespace servertest
