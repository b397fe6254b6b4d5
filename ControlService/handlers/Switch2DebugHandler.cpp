#include "handlers/Switch2DebugHandler.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Logging/ClientText.h"
#include "Logging/Log.h"
#include "handlers/ControlRequestReaders.h"

namespace Handlers {

namespace {

// Owns one descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    const int m_fd;
};

// The service may run as root: no link planted in the client's folder may lead it to another file. So
// the parts below the client's folder are opened one by one without following a link, and the marker
// is reached relative to its opened folder. The client's folder itself is the client's to name.
int openMarkerFolder(const std::string& folder, int& markerFolder) {
    const Descriptor client(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (client.get() < 0)
        return errno;
    const Descriptor metaInf(::openat(client.get(), "META-INF", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (metaInf.get() < 0)
        return errno;
    markerFolder = ::openat(metaInf.get(), "AIR", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return markerFolder < 0 ? errno : 0;
}

// Creates or empties the marker. A FIFO planted as the marker must not hold the worker until someone
// reads it: it fails (ENXIO) instead of blocking. Only a regular file with no other name is emptied: a
// hard link planted as the marker would otherwise let a client empty any file the service can write.
int createMarker(int markerFolder) {
    const Descriptor marker(
        ::openat(markerFolder, "debug", O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (marker.get() < 0)
        return errno;
    struct stat status {};
    if (::fstat(marker.get(), &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1)
        return EMLINK;
    return ::ftruncate(marker.get(), 0) == 0 ? 0 : errno;
}

// Removing a link removes the link itself, never its target. A marker that is not there is no failure.
int removeMarker(int markerFolder) {
    return ::unlinkat(markerFolder, "debug", 0) == 0 || errno == ENOENT ? 0 : errno;
}

}  // namespace

void Switch2DebugHandler::handle(Packets::RequestStream& request, std::vector<std::uint8_t>&,
                                 const std::vector<std::uint8_t>&) {
    const Switch2DebugRequest body = readSwitch2DebugRequest(request);
    const std::string& folder = body.folder;
    // An empty folder would put the marker below the service's working folder, and a NUL would cut the
    // path short of what was asked for.
    if (folder.empty() || folder.find('\0') != std::string::npos) {
        LOG_SEV(error) << "switch TESK debug mode refused: the folder is empty or holds a NUL byte";
        return;
    }
    const std::string path = folder + "/META-INF/AIR/debug";
    int markerFolder = -1;
    int error = openMarkerFolder(folder, markerFolder);
    const Descriptor markerFolderOwner(markerFolder);
    if (body.on != 0) {
        if (error == 0)
            error = createMarker(markerFolder);
        LOG_SEV(info) << "switch TESK to debug mode, create file:" << Logging::EscapeClientText(path);
    } else {
        // A folder that is not there holds no marker.
        if (error == 0)
            error = removeMarker(markerFolder);
        else if (error == ENOENT)
            error = 0;
        LOG_SEV(info) << "switch TESK to normal mode, remove file:" << Logging::EscapeClientText(path);
    }
    if (error != 0)
        LOG_SEV(error) << "debug mode file operation failed: " << static_cast<unsigned>(error);
}

}  // namespace Handlers
