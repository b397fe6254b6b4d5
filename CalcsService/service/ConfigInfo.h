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

    // Reads the file: all of it or, when it is invalid, nothing (an error line says why). A missing
    // file changes nothing and logs no error. Keys that the file leaves out keep their values.
    void load();

    // Writes the members to the file in one step (temporary file and rename); a failure is logged.
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

    // A text that the file could not hold as it is (CR, LF, NUL, '#', a leading or trailing blank) is
    // refused with an error line: the setter returns false and the old value stays.
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
};
