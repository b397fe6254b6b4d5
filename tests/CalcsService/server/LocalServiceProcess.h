// A fixture that runs the shipped TeskLocalSvc with the real library copied beside it, from a
// temporary folder, under a temporary platform root, on a port the test chooses.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "support/LoopbackConnect.h"

namespace servertest {

class LocalServiceProcess : public ::testing::Test {
protected:
    LocalServiceProcess() : m_program(testsupport::copyProgram(TESK_SERVICE_EXE, m_folder.path(), "TeskLocalSvc")) {
        boost::filesystem::copy_file(TESK_CALCS_LIBRARY, m_folder.path() / "libbrkcalcslib.so");
    }
    ~LocalServiceProcess() override { ::unsetenv("TESK_TEST_CALCS_PORT"); }

    // Runs the service on the port.
    std::unique_ptr<testsupport::ChildProgram> start(unsigned short port) {
        ::setenv("TESK_TEST_CALCS_PORT", std::to_string(port).c_str(), 1);
        return std::make_unique<testsupport::ChildProgram>(m_program, std::vector<std::string>{});
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    const std::string m_program;
    boost::asio::io_context m_io;
};

}  // namespace servertest
