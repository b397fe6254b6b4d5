// Process-wide logging shared by the library and both services.
//
// Boost.Log is linked as a shared library, so every module of a process (a service and the
// calculation library it loads) talks to one logging core and one registry of global loggers.
// This header holds only what logging code needs; the sinks, formats and the logger's attributes
// are set up in Log.cpp (library brkLogging), so code that logs does not compile them.
#pragma once

#include <ostream>
#include <string>

#include <boost/log/attributes/named_scope.hpp>
#include <boost/log/sources/global_logger_storage.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_logger.hpp>

namespace Logging {
namespace Log {

enum severity_level { trace, debug, info, warning, error, fatal };

inline std::ostream& operator<<(std::ostream& os, severity_level level) {
    static const char* const names[] = {"trace", "debug", "info", "warning", "error", "fatal"};
    if (static_cast<unsigned>(level) <= static_cast<unsigned>(fatal))
        os << names[level];
    else
        os << static_cast<int>(level);
    return os;
}

}  // namespace Log

using SeverityLogger = boost::log::sources::severity_logger_mt<Log::severity_level>;

// One logger per process, kept in Boost.Log's registry; Log.cpp builds it on first use.
BOOST_LOG_GLOBAL_LOGGER(ups_logger, SeverityLogger)

namespace detail {
// Creates the logger while the module is initialised, on one thread: two threads that log first at
// the same moment would otherwise race in its lazy set-up.
inline const bool loggerCreatedAtStartup = (ups_logger::get(), true);
}  // namespace detail

// Installs the console sink (warning and above, on the standard log stream) once per process and
// one daily, size-rotated file sink (info and above) per distinct file-name pattern.
// Never throws: logging is not worth failing the caller for.
void initLogging(const std::string& fileNamePattern) noexcept;

}  // namespace Logging

// Opens a record on the process-wide logger: LOG_SEV(info) << "text";
#define LOG_SEV(level) BOOST_LOG_SEV(::Logging::ups_logger::get(), ::Logging::Log::level)

// Opens a named scope for the rest of the enclosing block.
#define LOG_SCOPE(name) BOOST_LOG_NAMED_SCOPE(name)
