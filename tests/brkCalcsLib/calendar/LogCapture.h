// Collects the messages logged while the object lives, one per line, without the line decoration.
#pragma once

#include <sstream>
#include <string>

#include <boost/core/null_deleter.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_ostream_backend.hpp>
#include <boost/make_shared.hpp>

#include "Logging/Log.h"

class LogCapture {
public:
    LogCapture() {
        namespace sinks = boost::log::sinks;
        auto backend = boost::make_shared<sinks::text_ostream_backend>();
        backend->add_stream(boost::shared_ptr<std::ostream>(&m_stream, boost::null_deleter()));
        m_sink = boost::make_shared<Sink>(backend);
        m_sink->set_formatter(boost::log::expressions::stream << boost::log::expressions::smessage);
        boost::log::core::get()->add_sink(m_sink);
    }
    ~LogCapture() { boost::log::core::get()->remove_sink(m_sink); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() {
        m_sink->flush();
        return m_stream.str();
    }

private:
    using Sink = boost::log::sinks::synchronous_sink<boost::log::sinks::text_ostream_backend>;
    std::ostringstream m_stream;
    boost::shared_ptr<Sink> m_sink;
};
