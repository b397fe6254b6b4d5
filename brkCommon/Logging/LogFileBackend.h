// The file sink's backend: one line per record, appended to a daily file whose name holds the date.
//
// The file is opened by a descriptor, never by a name the logging library resolves on its own: a log
// file or log folder that is a link is not followed, a FIFO or device never blocks the process, and
// what is opened is checked to be a regular file before anything is written to it.
#pragma once

#include <cstdint>
#include <string>

#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/text_file_backend.hpp>

namespace Logging {

class LogFileBackend
    : public boost::log::sinks::basic_formatted_sink_backend<char, boost::log::sinks::synchronized_feeding> {
public:
    static constexpr std::uintmax_t kRotationSize = 5 * 1024 * 1024;

    // fileNamePattern: a folder and a file name whose date fields ("%Y", "%b", "%d") take the local date
    // each time a file is opened; a relative folder is taken from the current folder now.
    explicit LogFileBackend(const std::string& fileNamePattern);
    ~LogFileBackend();
    LogFileBackend(const LogFileBackend&) = delete;
    LogFileBackend& operator=(const LogFileBackend&) = delete;

    // Appends the line and its newline in one write. The file is closed and opened anew (appending,
    // under the day's name) after 5 MiB written through it and at local midnight. Throws when the file
    // cannot be opened or written, or is not a regular file: the record is then dropped, and the next
    // one tries again.
    void consume(const boost::log::record_view& record, const std::string& line);

private:
    // The file name with today's date.
    std::string currentName() const;
    void openFile();
    void closeFile();

    std::string m_strFolder;
    std::string m_strNamePattern;
    int m_fd = -1;
    std::uintmax_t m_written = 0;  // bytes written through the open descriptor
    boost::log::sinks::file::rotation_at_time_point m_midnight{0, 0, 0};
};

}  // namespace Logging
