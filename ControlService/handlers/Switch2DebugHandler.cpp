#include "handlers/Switch2DebugHandler.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "Logging/Log.h"
#include "handlers/ControlRequestReaders.h"

namespace Handlers {

namespace {

// The marker is created (or emptied) without following a symbolic link: the service may run as root,
// and a link planted in the client's folder must not truncate the file it points to.
int createMarker(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

// Removing a link removes the link itself, never its target. A marker that is not there is no failure.
int removeMarker(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
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
    int error = 0;
    if (body.on != 0) {
        error = createMarker(path);
        LOG_SEV(info) << "switch TESK to debug mode, create file:" << path;
    } else {
        error = removeMarker(path);
        LOG_SEV(info) << "switch TESK to normal mode, remove file:" << path;
    }
    if (error != 0)
        LOG_SEV(error) << "debug mode file operation failed: " << static_cast<unsigned>(error);
}

}  // namespace Handlers
