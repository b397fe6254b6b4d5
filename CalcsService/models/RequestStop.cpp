#include "models/RequestStop.h"

namespace models {

namespace {

thread_local const std::atomic<int>* t_stopping = nullptr;

}  // namespace

StopScope::StopScope(const std::atomic<int>* stopping) : m_previous(t_stopping) { t_stopping = stopping; }

StopScope::~StopScope() { t_stopping = m_previous; }

const std::atomic<int>* currentStopFlag() { return t_stopping; }

void giveWayIfStopping() {
    if (t_stopping != nullptr && t_stopping->load(std::memory_order_relaxed) != 0)
        throw RequestStopped();
}

}  // namespace models
