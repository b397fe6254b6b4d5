#include "engine/ProcessingThread.h"

#include <chrono>
#include <exception>
#include <thread>

#include "Logging/Log.h"

namespace {

// Long enough to span the gap between two records of a feed burst on every slot.
constexpr std::chrono::microseconds kStayAwake{100};

}  // namespace

CProcessingThread::CProcessingThread() : m_work(boost::asio::make_work_guard(m_ioService)) {}

CProcessingThread::~CProcessingThread() {
    StopLoop();
    Join();
}

int CProcessingThread::Run() {
    try {
        while (m_ioService.run_one() != 0)
            StayAwakeForMore();
    } catch (const std::exception& e) {
        LogHandlerFailure(e.what());
    } catch (...) {
        LogHandlerFailure(nullptr);
    }
    LOG_SEV(info) << "exit from CProcessingThread::Run()";
    return 0;
}

void CProcessingThread::StayAwakeForMore() const {
    const auto until = std::chrono::steady_clock::now() + kStayAwake;
    while (m_queued.load(std::memory_order_relaxed) == 0) {
        // Yielding, not spinning hard: on a busy machine the feed thread may need this core.
        std::this_thread::yield();
        if (std::chrono::steady_clock::now() >= until)
            return;
    }
}

void CProcessingThread::LogHandlerFailure(const char* what) {
    if (what)
        LOG_SEV(error) << "exception: CProcessingThread::Run() " << what;
    else
        LOG_SEV(fatal) << "fatal exception: CProcessingThread::Run()";
}

void CProcessingThread::StopLoop() {
    m_bStopRequested = true;
    m_ioService.restart();
    m_ioService.stop();
}
