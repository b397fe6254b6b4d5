// A request in progress gives way when its session or the service stops: the session's stop flag is
// made the current one for the worker thread while it processes a request, the models' loops look at
// it, and once it is set they throw RequestStopped, so that the request ends without a reply.
#pragma once

#include <atomic>
#include <stdexcept>

namespace models {

class RequestStopped : public std::runtime_error {
public:
    RequestStopped() : std::runtime_error("the session is stopping: request dropped") {}
};

// While it lives, the models on this thread give way once `stopping` is non-zero. A thread a model
// starts for a request takes its creator's flag (currentStopFlag) into a scope of its own.
class StopScope {
public:
    explicit StopScope(const std::atomic<int>* stopping);
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const std::atomic<int>* m_previous;
};

// The flag this thread's request looks at; null outside any scope (then nothing stops a request).
const std::atomic<int>* currentStopFlag();

// Throws RequestStopped when this thread's request is to give way. One relaxed load: cheap enough for
// every position of every point.
void giveWayIfStopping();

}  // namespace models
