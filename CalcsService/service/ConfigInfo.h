// The service's auto-update and proxy settings, kept in "<service name>.cfg" beside the executable:
//
//   [AUTOUPDATE]
//   UPDATE_SERVER_IP=<host>
//   CHECK_VERSION_PATH=<path>
//   DOWNLOAD_VERSION_PATH=<path>
//   USE_PROXY=<1|0>
//   PROXY_IP=<address>
//   PROXY_PORT=<number>            (no line end after the number)
//
// Lines end in LF. Every member may be read and changed from several threads.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include <boost/program_options/options_description.hpp>
#include <boost/program_options/variables_map.hpp>

class ConfigInfo {
public:
    // The process's one instance, created and loaded on first use.
    static ConfigInfo& instance();

    // The defaults (string table entries 101 to 103, no proxy), then the file at filePath.
    explicit ConfigInfo(std::string filePath);
    ConfigInfo(const ConfigInfo&) = delete;
    ConfigInfo& operator=(const ConfigInfo&) = delete;

    // Reads the file: all of it or, when it is invalid, nothing (an error line says why). Invalid is
    // also a file that is not a regular one (it is never waited on), one of more than 1 MiB, and a text
    // value that a setter would refuse. A missing file changes nothing and logs no error. Keys that the
    // file leaves out keep their values.
    void load();

    // Writes the members to the file in one step (temporary file and rename); a failure is logged. A file
    // that failed to load is first kept as "<file>.bad-<UTC time>" (a warning names it); when it cannot
    // be kept it is not replaced either.
    void saveAutoUpdateConfig();

    // Restores the defaults and saves them.
    void resetAutoUpdateConfig();

    // g_strModuleDir + "/" + service name + ".cfg".
    static std::string getConfigFilePath();

    std::string updateServer() const;
    std::string checkVersionPath() const;
    std::string downloadVersionPath() const;
    std::string proxyIP() const;
    int proxyPort() const;
    bool useProxy() const;

    // The longest text a setter takes: each is echoed in every service-information reply.
    static constexpr std::size_t MAX_TEXT = 255;

    // A text longer than MAX_TEXT, or one that the file could not hold as it is (CR, LF, NUL, '#', a
    // leading or trailing blank), is refused with an error line: the setter returns false and the old
    // value stays.
    bool setUpdateServer(const std::string& value);
    bool setCheckVersionPath(const std::string& value);
    bool setDownloadVersionPath(const std::string& value);
    bool setProxyIP(const std::string& value);
    void setProxyPort(int value);
    void setUseProxy(bool value);

private:
    bool setText(std::string& member, const char* key, const std::string& value);
    void setDefaultsLocked();
    void saveLocked();
    bool keepFailedFileLocked();
    template <class T>
    T get(const T& member) const;

    mutable std::mutex m_mutex;  // guards everything below
    const std::string m_strFilePath;
    boost::program_options::variables_map m_store;
    boost::program_options::options_description m_description;
    std::string m_strUpdateServer;
    std::string m_strCheckVersionPath;
    std::string m_strDownloadVersionPath;
    std::string m_strProxyIP;
    int m_nProxyPort = 0;
    bool m_bUseProxy = false;
    bool m_bLoadFailed = false;  // the file is kept aside before it is replaced
};
