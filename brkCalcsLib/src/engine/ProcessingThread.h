// One processing slot: an event loop of its own that runs posted record calculations in order.
//
// Waking a sleeping loop costs the poster a system call, several microseconds on the host's feed
// thread for every record. So after each handler the loop stays awake for a short while: a burst
// of records reaches it without a wake-up, and it sleeps in its event loop only once the burst is over.
#pragma once

#include <atomic>
#include <exception>
#include <utility>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include "engine/Thread.h"

class CProcessingThread : public CThread {
public:
    CProcessingThread();
    ~CProcessingThread() override;

    int Run() override;

    // Queues a handler; it runs on this slot's thread after the handlers queued before it. A
    // handler that throws costs only itself: the slot goes on with the next one. Any callable: one
    // allocation per record on the feed thread, not two as through a std::function.
    template <class Handler>
    void Post(Handler handler) {
        m_queued.fetch_add(1, std::memory_order_relaxed);
        boost::asio::post(m_ioService, [this, handler = std::move(handler)]() mutable {
            m_queued.fetch_sub(1, std::memory_order_relaxed);
            try {
                handler();
            } catch (const std::exception& e) {
                LogHandlerFailure(e.what());
            } catch (...) {
                LogHandlerFailure(nullptr);
            }
        });
    }
    // Lets a stopped loop run again; queued handlers are kept.
    void ResetStopped() { m_ioService.restart(); }
    // Ends Run after the handler it is executing; queued handlers stay queued.
    void StopLoop();

private:
    // what: the exception's text, null for anything not derived from std::exception.
    static void LogHandlerFailure(const char* what);
    // Returns as soon as a handler is queued, or when none came for a short while.
    void StayAwakeForMore() const;

    std::atomic<unsigned> m_queued{0};  // handlers posted and not yet started
    boost::asio::io_context m_ioService;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
};
