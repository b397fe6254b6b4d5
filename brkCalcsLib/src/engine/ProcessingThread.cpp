#include "engine/ProcessingThread.h"

#include <exception>

#include <boost/asio/post.hpp>

#include "Logging/Log.h"

CProcessingThread::CProcessingThread() : m_work(boost::asio::make_work_guard(m_ioService)) {}

CProcessingThread::~CProcessingThread() {
    StopLoop();
    JoinOnDestruction();
}

int CProcessingThread::Run() {
    try {
        m_ioService.run();
    } catch (const std::exception& e) {
        LOG_SEV(error) << "exception: CProcessingThread::Run() " << e.what();
    } catch (...) {
        LOG_SEV(fatal) << "fatal exception: CProcessingThread::Run()";
    }
    LOG_SEV(info) << "exit from CProcessingThread::Run()";
    return 0;
}

void CProcessingThread::Post(std::function<void()> handler) {
    // A failing calculation costs only its own record: the slot goes on with the next one.
    boost::asio::post(m_ioService, [handler = std::move(handler)] {
        try {
            handler();
        } catch (const std::exception& e) {
            LOG_SEV(error) << "exception: CProcessingThread::Run() " << e.what();
        } catch (...) {
            LOG_SEV(fatal) << "fatal exception: CProcessingThread::Run()";
        }
    });
}

void CProcessingThread::StopLoop() {
    m_bStopRequested = true;
    m_ioService.restart();
    m_ioService.stop();
}
