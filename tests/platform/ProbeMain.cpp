// Test helper: writes what it was started with (arguments, working folder, executable path, open
// descriptors, blocked and ignored signals) to "<working folder>/<file name>.<pid>.report", one
// "key=value" line each; then, when TESK_PROBE_LINGER is set, waits until a signal ends it.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/ModulePath.h"

namespace {

std::string statusField(const std::string& name) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name + ":", 0) == 0)
            return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    return std::string();
}

}  // namespace

int main(int argc, char* argv[]) {
    std::ostringstream report;
    for (int i = 1; i < argc; ++i)
        report << "arg=" << argv[i] << "\n";
    char cwd[8192];
    report << "cwd=" << (::getcwd(cwd, sizeof cwd) ? cwd : "?") << "\n";
    report << "exe=" << platform::ModulePath() << "\n";
    DIR* fds = ::opendir("/proc/self/fd");
    while (const dirent* entry = fds ? ::readdir(fds) : nullptr) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && std::stoi(name) != ::dirfd(fds))
            report << "fd=" << name << "\n";
    }
    if (fds)
        ::closedir(fds);
    report << "sigblk=" << statusField("SigBlk") << "\n";
    report << "sigign=" << statusField("SigIgn") << "\n";

    const std::string path = std::string(cwd) + "/" + platform::ModulePath().substr(platform::ModulePath().rfind('/') + 1) +
                             "." + std::to_string(::getpid()) + ".report";
    {
        std::ofstream out(path + ".tmp");
        out << report.str();
    }
    std::rename((path + ".tmp").c_str(), path.c_str());
    if (std::getenv("TESK_PROBE_LINGER"))
        for (;;)
            ::pause();
    return 0;
}
