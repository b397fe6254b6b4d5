// A fresh folder under the system's temporary folder, removed with everything in it.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

namespace testsupport {

class TempDir {
public:
    TempDir() : m_path(boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("tesk-%%%%-%%%%-%%%%")) {
        boost::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        boost::system::error_code ec;
        boost::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const boost::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    boost::filesystem::path m_path;
};

inline std::vector<std::string> readLines(const boost::filesystem::path& file) {
    std::ifstream in(file.string());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The regular files directly inside a folder.
inline std::vector<boost::filesystem::path> filesIn(const boost::filesystem::path& dir) {
    std::vector<boost::filesystem::path> files;
    if (!boost::filesystem::is_directory(dir))
        return files;
    for (const auto& entry : boost::filesystem::directory_iterator(dir))
        if (boost::filesystem::is_regular_file(entry.path()))
            files.push_back(entry.path());
    return files;
}

}  // namespace testsupport
