#include "Logging/LogFileBackend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/filesystem/operations.hpp>

namespace Logging {
namespace {

std::string errorText(int error) {
    return std::strerror(error);
}

// Why a path that open refused is no log file; errno's own words for other failures.
std::string refusal(int error) {
    switch (error) {
    case ELOOP:
        return "a link, not followed";
    case ENXIO:  // a FIFO without a reader, a socket, a device without a driver
        return "not a regular file";
    default:
        return errorText(error);
    }
}

}  // namespace

LogFileBackend::LogFileBackend(const std::string& fileNamePattern) {
    const boost::filesystem::path pattern(fileNamePattern);
    m_strFolder = boost::filesystem::absolute(pattern.parent_path()).string();
    m_strNamePattern = pattern.filename().string();
}

LogFileBackend::~LogFileBackend() {
    closeFile();
}

// The date fields are filled in as the logging library fills them in its own file names.
std::string LogFileBackend::currentName() const {
    boost::posix_time::time_facet facet(1u);  // owned here, not by a locale
    facet.format(m_strNamePattern.c_str());
    std::ostringstream name;
    facet.put(std::ostreambuf_iterator<char>(name), name, name.fill(),
              boost::posix_time::microsec_clock::local_time());
    return name.good() ? name.str() : m_strNamePattern;
}

void LogFileBackend::openFile() {
    const std::string name = currentName();
    const std::string path = m_strFolder + "/" + name;
    boost::filesystem::create_directories(m_strFolder);
    // The folders above the log folder are the administrator's; the log folder and the file are not
    // followed when they are links.
    const int dir = ::open(m_strFolder.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        throw std::runtime_error("log folder " + m_strFolder + " refused: " + errorText(errno));
    struct stat folder {};
    if (::fstat(dir, &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        ::close(dir);
        throw std::runtime_error("log folder " + m_strFolder + " refused: " +
                                 (S_ISLNK(folder.st_mode) ? refusal(ELOOP) : "not a folder"));
    }
    // Non-blocking: a FIFO without a reader fails at once instead of waiting for one.
    const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                            0666);
    const int openError = errno;
    ::close(dir);
    if (fd < 0)
        throw std::runtime_error("log file " + path + " refused: " + refusal(openError));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw std::runtime_error("log file " + path + " refused: not a regular file");
    }
    m_fd = fd;
    m_written = 0;
}

void LogFileBackend::closeFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_written = 0;
}

void LogFileBackend::consume(const boost::log::record_view&, const std::string& line) {
    // The size is told by what went through this descriptor, as the logging library's own file sink
    // counts it; reopening the day's name for appending is all a rotation does.
    if (m_fd >= 0 && (m_written + line.size() >= kRotationSize || m_midnight()))
        closeFile();
    if (m_fd < 0)
        openFile();
    const std::string text = line + '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            closeFile();
            throw std::runtime_error("writing the log file failed: " + errorText(error));
        }
        done += static_cast<std::size_t>(n);
    }
    m_written += text.size();
}

}  // namespace Logging
