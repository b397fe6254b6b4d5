// One processing slot: an event loop of its own that runs posted record calculations in order.
//
// Waking a sleeping loop costs the poster a system call, several microseconds on the host's feed
// thread for every record. So after each handler the loop stays awake for a short while: a burst
// of records reaches it without a wake-up, and it sleeps in its event loop only once the burst is over.
#pragma once

#include <atomic>
#include <functional>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include "engine/Thread.h"

class CProcessingThread : public CThread {
public:
    CProcessingThread();
    ~CProcessingThread() override;

    int Run() override;

    // Queues a handler; it runs on this slot's thread after the handlers queued before it.
    void Post(std::function<void()> handler);
    // Lets a stopped loop run again; queued handlers are kept.
    void ResetStopped() { m_ioService.restart(); }
    // Ends Run after the handler it is executing; queued handlers stay queued.
    void StopLoop();

private:
    // Returns as soon as a handler is queued, or when none came for a short while.
    void StayAwakeForMore() const;

    std::atomic<unsigned> m_queued{0};  // handlers posted and not yet started
    boost::asio::io_context m_ioService;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
};
