#include "service/ConfigInfo.h"

#include <cstring>
#include <fstream>

#include <boost/program_options/parsers.hpp>

#include "Logging/Log.h"
#include "platform/AtomicFile.h"
#include "service/ModuleInfo.h"
#include "service/ServiceValues.h"

namespace po = boost::program_options;

namespace {

// Why the configuration file could not carry a value unchanged, or null when it can.
const char* unsafeText(const std::string& value) {
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "line break or NUL";
    if (value.find('#') != std::string::npos)
        return "'#' starts a comment";
    const std::string blanks = " \t";
    if (!value.empty() && (blanks.find(value.front()) != std::string::npos || blanks.find(value.back()) != std::string::npos))
        return "leading or trailing blank";
    return nullptr;
}

}  // namespace

ConfigInfo& ConfigInfo::instance() {
    static ConfigInfo config(getConfigFilePath());
    return config;
}

ConfigInfo::ConfigInfo(std::string filePath) : m_strFilePath(std::move(filePath)) {
    setDefaultsLocked();
    m_description.add_options()
        ("AUTOUPDATE", "AutoUpdate settings")
        ("AUTOUPDATE.UPDATE_SERVER_IP", po::value<std::string>(&m_strUpdateServer), "server IP or Domain Name")
        ("AUTOUPDATE.CHECK_VERSION_PATH", po::value<std::string>(&m_strCheckVersionPath), "relative path to check version")
        ("AUTOUPDATE.DOWNLOAD_VERSION_PATH", po::value<std::string>(&m_strDownloadVersionPath), "relative path to download version")
        ("AUTOUPDATE.USE_PROXY", po::value<bool>(&m_bUseProxy), "use or not proxy server")
        ("AUTOUPDATE.PROXY_IP", po::value<std::string>(&m_strProxyIP), "proxy addres")
        ("AUTOUPDATE.PROXY_PORT", po::value<int>(&m_nProxyPort), "proxy port");
    load();
}

void ConfigInfo::load() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_store.clear();
    if (g_serviceValues.logsConfigLoad)
        LOG_SEV(info) << "load config from: " << m_strFilePath;
    // Parsed into a separate store and taken over only when the whole file is valid: the parser keeps
    // the keys it stored before a bad one.
    po::variables_map parsed;
    try {
        std::ifstream file(m_strFilePath);
        po::store(po::parse_config_file(file, m_description, false), parsed);
    } catch (const std::exception& e) {
        LOG_SEV(error) << "ConfigInfo::load error:" << e.what();
        return;
    }
    m_store = parsed;
    po::notify(m_store);
}

void ConfigInfo::saveAutoUpdateConfig() {
    std::lock_guard<std::mutex> lock(m_mutex);
    saveLocked();
}

void ConfigInfo::resetAutoUpdateConfig() {
    std::lock_guard<std::mutex> lock(m_mutex);
    setDefaultsLocked();
    saveLocked();
}

std::string ConfigInfo::getConfigFilePath() {
    return g_strModuleDir + "/" + LoadResourceString(100) + ".cfg";
}

template <class T>
T ConfigInfo::get(const T& member) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return member;
}

std::string ConfigInfo::updateServer() const { return get(m_strUpdateServer); }
std::string ConfigInfo::checkVersionPath() const { return get(m_strCheckVersionPath); }
std::string ConfigInfo::downloadVersionPath() const { return get(m_strDownloadVersionPath); }
std::string ConfigInfo::proxyIP() const { return get(m_strProxyIP); }
int ConfigInfo::proxyPort() const { return get(m_nProxyPort); }
bool ConfigInfo::useProxy() const { return get(m_bUseProxy); }

bool ConfigInfo::setUpdateServer(const std::string& value) {
    return setText(m_strUpdateServer, "UPDATE_SERVER_IP", value);
}

bool ConfigInfo::setCheckVersionPath(const std::string& value) {
    return setText(m_strCheckVersionPath, "CHECK_VERSION_PATH", value);
}

bool ConfigInfo::setDownloadVersionPath(const std::string& value) {
    return setText(m_strDownloadVersionPath, "DOWNLOAD_VERSION_PATH", value);
}

bool ConfigInfo::setProxyIP(const std::string& value) {
    return setText(m_strProxyIP, "PROXY_IP", value);
}

void ConfigInfo::setProxyPort(int value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nProxyPort = value;
}

void ConfigInfo::setUseProxy(bool value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bUseProxy = value;
}

bool ConfigInfo::setText(std::string& member, const char* key, const std::string& value) {
    if (const char* reason = unsafeText(value)) {
        LOG_SEV(error) << "ConfigInfo: " << key << " value refused (" << reason << "), the old value is kept";
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    member = value;
    return true;
}

void ConfigInfo::setDefaultsLocked() {
    m_strUpdateServer = LoadResourceString(101);
    m_strCheckVersionPath = LoadResourceString(102);
    m_strDownloadVersionPath = LoadResourceString(103);
    m_strProxyIP.clear();
    m_nProxyPort = 0;
    m_bUseProxy = false;
}

void ConfigInfo::saveLocked() {
    const std::string text = "[AUTOUPDATE]\nUPDATE_SERVER_IP=" + m_strUpdateServer +
                             "\nCHECK_VERSION_PATH=" + m_strCheckVersionPath +
                             "\nDOWNLOAD_VERSION_PATH=" + m_strDownloadVersionPath +
                             "\nUSE_PROXY=" + (m_bUseProxy ? "1" : "0") + "\nPROXY_IP=" + m_strProxyIP +
                             "\nPROXY_PORT=" + std::to_string(m_nProxyPort);
    if (int error = platform::WriteFileAtomically(m_strFilePath, text))
        LOG_SEV(error) << "ConfigInfo::saveAutoUpdateConfig error: can't write " << m_strFilePath << ": "
                       << std::strerror(error) << " (" << error << ")";
}
