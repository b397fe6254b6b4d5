// One processing slot: an event loop of its own that runs posted record calculations in order.
#pragma once

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
    boost::asio::io_context m_ioService;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
};
