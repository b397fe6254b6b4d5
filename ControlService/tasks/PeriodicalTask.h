// Runs a task object's execute() on a thread of its own: at once, then again after each period.
#pragma once

#include <exception>
#include <utility>

#include <boost/chrono.hpp>
#include <boost/thread/thread.hpp>

#include "Logging/Log.h"

namespace tasks {

template <typename T>
class PeriodicalTask {
public:
    // period: milliseconds slept after each execution; count: that many executions when above 0, else
    // executions until the task is destroyed.
    PeriodicalTask(int period, int count, T task = T()) : m_period(period), m_count(count), m_task(std::move(task)) {}

    // Interrupts the thread, also in the middle of its sleep, and joins it.
    ~PeriodicalTask() {
        m_thread.interrupt();
        if (m_thread.joinable())
            m_thread.join();
    }

    PeriodicalTask(const PeriodicalTask&) = delete;
    PeriodicalTask& operator=(const PeriodicalTask&) = delete;

    void start() {
        if (!m_thread.joinable())
            m_thread = boost::thread(&PeriodicalTask::run, this);
    }

private:
    void run() {
        const bool limited = m_count > 0;
        try {
            do {
                boost::this_thread::interruption_point();
                if (limited)
                    --m_count;
                executeOnce();
                boost::this_thread::sleep_until(boost::chrono::steady_clock::now() +
                                                boost::chrono::milliseconds(m_period));
            } while (!limited || m_count != 0);
        } catch (const boost::thread_interrupted&) {
        }
    }

    // A failing pass is logged; the task keeps its period.
    void executeOnce() {
        try {
            m_task.execute();
        } catch (const boost::thread_interrupted&) {
            throw;
        } catch (const std::exception& e) {
            LOG_SEV(error) << "exception in periodical task, " << e.what();
        } catch (...) {
            LOG_SEV(error) << "exception in periodical task";
        }
    }

    int m_period;
    int m_count;
    T m_task;
    boost::thread m_thread;
};

}  // namespace tasks
