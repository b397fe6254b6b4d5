// The name a daily log file pattern "<prefix>%Y-%b-%d.log" gives today's file.
#pragma once

#include <iomanip>
#include <sstream>
#include <string>

#include <boost/date_time/posix_time/posix_time_types.hpp>

namespace testsupport {

inline std::string todaysLogFileName(const std::string& prefix) {
    std::ostringstream name;
    const auto today = boost::posix_time::second_clock::local_time().date();
    name << prefix << today.year() << '-' << today.month().as_short_string() << '-' << std::setw(2)
         << std::setfill('0') << today.day().as_number() << ".log";
    return name.str();
}

}  // namespace testsupport
