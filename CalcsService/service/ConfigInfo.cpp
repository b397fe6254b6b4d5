#include "service/ConfigInfo.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sstream>
#include <unistd.h>

#include <boost/program_options/parsers.hpp>

#include "Logging/Log.h"
#include "platform/AtomicFile.h"
#include "service/ModuleInfo.h"
#include "service/ServiceValues.h"

namespace po = boost::program_options;

namespace {

// The text options of the file, by key.
const char* const kTextKeys[] = {"UPDATE_SERVER_IP", "CHECK_VERSION_PATH", "DOWNLOAD_VERSION_PATH", "PROXY_IP"};

// Gives up looking for a free name to keep a failed file under after this many.
const int kKeptNameAttempts = 100;

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

// Why a text value is refused, the same for one loaded from the file and one set by a request; empty
// when it is taken.
std::string refusal(const char* key, const std::string& value) {
    if (value.size() > ConfigInfo::MAX_TEXT)
        return std::string(key) + " of " + std::to_string(value.size()) + " bytes refused, at most " +
               std::to_string(ConfigInfo::MAX_TEXT);
    if (const char* reason = unsafeText(value))
        return std::string(key) + " value refused (" + reason + ")";
    return std::string();
}

std::string readError(const std::string& path, int error) {
    const std::string why = error == EINVAL ? "not a regular file"
                            : error == EFBIG ? "larger than " + std::to_string(platform::kReadLimit) + " bytes"
                                             : std::strerror(error);
    return "can't read " + path + ": " + why + " (" + std::to_string(error) + ")";
}

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    char text[32] = "";
    if (::gmtime_r(&now, &fields))
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &fields);
    return text;
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
    // Read without waiting and at most 1 MiB: a FIFO or a device in its place is refused at once.
    std::string text;
    const int error = platform::ReadWholeFile(m_strFilePath, text);
    m_bLoadFailed = error != 0 && error != ENOENT;
    if (m_bLoadFailed)
        LOG_SEV(error) << "ConfigInfo::load error:" << readError(m_strFilePath, error);
    if (error)
        return;
    // Parsed into a separate store and taken over only when the whole file is valid: the parser keeps
    // the keys it stored before a bad one.
    po::variables_map parsed;
    try {
        std::istringstream file(text);
        po::store(po::parse_config_file(file, m_description, false), parsed);
    } catch (const std::exception& e) {
        LOG_SEV(error) << "ConfigInfo::load error:" << e.what();
        m_bLoadFailed = true;
        return;
    }
    for (const char* key : kTextKeys) {
        const auto found = parsed.find(std::string("AUTOUPDATE.") + key);
        const std::string why = found == parsed.end() ? std::string() : refusal(key, found->second.as<std::string>());
        if (!why.empty()) {
            LOG_SEV(error) << "ConfigInfo::load error:" << why;
            m_bLoadFailed = true;
            return;
        }
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
    const std::string why = refusal(key, value);
    if (!why.empty()) {
        LOG_SEV(error) << "ConfigInfo: " << why << ", the old value is kept";
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

// A hard link keeps the file as it is under a new name that no other file has; the write that follows
// then replaces only the original name.
bool ConfigInfo::keepFailedFileLocked() {
    const std::string base = m_strFilePath + ".bad-" + utcStamp();
    int error = 0;
    for (int attempt = 1; attempt <= kKeptNameAttempts; ++attempt) {
        const std::string kept = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        error = ::link(m_strFilePath.c_str(), kept.c_str()) == 0 ? 0 : errno;
        if (error == EEXIST)
            continue;
        if (!error)
            LOG_SEV(warning) << "ConfigInfo: " << m_strFilePath << " could not be loaded, kept as " << kept;
        // A file removed since the load left nothing to keep.
        if (!error || error == ENOENT) {
            m_bLoadFailed = false;
            return true;
        }
        break;
    }
    LOG_SEV(error) << "ConfigInfo::saveAutoUpdateConfig error: can't keep " << m_strFilePath
                   << ", which could not be loaded, so it is not replaced: " << std::strerror(error) << " (" << error
                   << ")";
    return false;
}

void ConfigInfo::saveLocked() {
    if (m_bLoadFailed && !keepFailedFileLocked())
        return;
    const std::string text = "[AUTOUPDATE]\nUPDATE_SERVER_IP=" + m_strUpdateServer +
                             "\nCHECK_VERSION_PATH=" + m_strCheckVersionPath +
                             "\nDOWNLOAD_VERSION_PATH=" + m_strDownloadVersionPath +
                             "\nUSE_PROXY=" + (m_bUseProxy ? "1" : "0") + "\nPROXY_IP=" + m_strProxyIP +
                             "\nPROXY_PORT=" + std::to_string(m_nProxyPort);
    if (int error = platform::WriteFileAtomically(m_strFilePath, text))
        LOG_SEV(error) << "ConfigInfo::saveAutoUpdateConfig error: can't write " << m_strFilePath << ": "
                       << std::strerror(error) << " (" << error << ")";
}
