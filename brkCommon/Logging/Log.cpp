// The logger's attributes and the sinks behind Log.h.
//
// Every module of a process shares one logging core, so the set-up keeps its bookkeeping in that
// core: the sinks for one file pattern are installed once per process no matter how many modules
// ask for them.
#include "Logging/Log.h"
#include "Logging/LogFileBackend.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <set>
#include <string>

#include <boost/core/null_deleter.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/log/attributes/clock.hpp>
#include <boost/log/attributes/constant.hpp>
#include <boost/log/attributes/current_thread_id.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_ostream_backend.hpp>
#include <boost/log/sinks/unlocked_frontend.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/make_shared.hpp>

namespace Logging {
namespace {

// Claims a name in the core's global attribute set. The insertion is atomic under the core's
// lock and visible to every module of the process, so exactly one caller wins per name.
bool claimOnce(const std::string& marker) {
    auto core = boost::log::core::get();
    return core->add_global_attribute(marker, boost::log::attributes::constant<bool>(true)).second;
}

// Boost.Log prints to the console while a core has no sink at all; until initLogging installs the real
// sinks, records are meant to be dropped, so a sink that accepts nothing keeps the default one away.
struct DiscardAll : boost::log::sinks::basic_sink_backend<boost::log::sinks::concurrent_feeding> {
    void consume(const boost::log::record_view&) {}
};

void installDiscardingSink() {
    if (claimOnce("TeskLogDiscardSink")) {
        auto sink = boost::make_shared<boost::log::sinks::unlocked_sink<DiscardAll>>();
        sink->set_filter([](const boost::log::attribute_value_set&) { return false; });
        boost::log::core::get()->add_sink(sink);
    }
}

// A sink that cannot open or write its file must not throw into the code that logs; the record
// is dropped, and each distinct failure is reported once on standard error (a refused file log is
// told, however many records it drops and whatever failed before it).
struct DropFailedRecord {
    void operator()() const noexcept {
        static std::mutex mutex;
        static std::set<std::string> reported;
        std::string what = "unknown error";
        try {
            throw;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        try {
            std::lock_guard<std::mutex> lock(mutex);
            if (reported.insert(what).second)
                std::fprintf(stderr, "logging failed, records are dropped: %s\n", what.c_str());
        } catch (...) {
        }
    }
};

// "<time> [severity] [scope] [thread]: message"; the file puts the time in brackets too.
template <class Frontend>
void setLineFormat(Frontend& sink, bool bracketedTime) {
    namespace expr = boost::log::expressions;
    const auto stamp = expr::format_date_time<boost::posix_time::ptime>("TimeStamp", "%H:%M:%S.%f");
    const auto severity = expr::attr<Log::severity_level>("Severity");
    const auto scope = expr::format_named_scope("Scope", boost::log::keywords::format = "%n");
    const auto thread = expr::attr<boost::log::attributes::current_thread_id::value_type>("ThreadID");
    if (bracketedTime)
        sink.set_formatter(expr::stream << "[" << stamp << "] [" << severity << "] [" << scope << "] [" << thread
                                        << "]: " << expr::smessage);
    else
        sink.set_formatter(expr::stream << stamp << " [" << severity << "] [" << scope << "] [" << thread << "]: "
                                        << expr::smessage);
}

auto severityAtLeast(Log::severity_level level) {
    return boost::log::expressions::attr<Log::severity_level>("Severity") >= level;
}

}  // namespace

BOOST_LOG_GLOBAL_LOGGER_INIT(ups_logger, SeverityLogger) {
    namespace attrs = boost::log::attributes;
    installDiscardingSink();
    SeverityLogger lg;
    lg.add_attribute("TimeStamp", attrs::local_clock());
    lg.add_attribute("Scope", attrs::named_scope());
    lg.add_attribute("ThreadID", attrs::current_thread_id());
    return lg;
}

void initLogging(const std::string& fileNamePattern) noexcept {
    namespace sinks = boost::log::sinks;
    try {
        auto core = boost::log::core::get();
        core->set_exception_handler(DropFailedRecord());

        if (claimOnce("TeskLogConsoleSink")) {
            auto backend = boost::make_shared<sinks::text_ostream_backend>();
            backend->add_stream(boost::shared_ptr<std::ostream>(&std::clog, boost::null_deleter()));
            backend->auto_flush(true);
            auto sink = boost::make_shared<sinks::synchronous_sink<sinks::text_ostream_backend>>(backend);
            sink->set_filter(severityAtLeast(Log::warning));
            setLineFormat(*sink, false);
            core->add_sink(sink);
        }

        if (claimOnce("TeskLogFileSink:" + fileNamePattern)) {
            auto backend = boost::make_shared<LogFileBackend>(fileNamePattern);
            auto sink = boost::make_shared<sinks::synchronous_sink<LogFileBackend>>(backend);
            // A broken file drops only its own records; the console and other files still write.
            sink->set_exception_handler(DropFailedRecord());
            sink->set_filter(severityAtLeast(Log::info));
            setLineFormat(*sink, true);
            core->add_sink(sink);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "logging set-up failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "logging set-up failed\n");
    }
}

}  // namespace Logging
