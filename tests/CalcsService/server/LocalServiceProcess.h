// A fixture that runs the shipped TeskLocalSvc with the real library copied beside it, from a
// temporary folder, under a temporary platform root, on a port the test chooses.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <gtest/gtest.h>

#include "CalcsService/ServiceTestSupport.h"
#include "support/ProtocolClient.h"

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

    // A loopback port nothing listens on right now.
    unsigned short freePort() {
        boost::asio::ip::tcp::acceptor probe(m_io, {boost::asio::ip::make_address_v4("127.0.0.1"), 0});
        return probe.local_endpoint().port();
    }

    // A client of the service on the port, once it accepts one; none when it never does.
    static std::unique_ptr<testsupport::ProtocolClient> connect(unsigned short port) {
        std::unique_ptr<testsupport::ProtocolClient> client;
        testsupport::waitUntil([&] {
            try {
                client = std::make_unique<testsupport::ProtocolClient>(port);
                return true;
            } catch (const std::runtime_error&) {
                return false;
            }
        });
        return client;
    }

    testsupport::ScopedPlatformRoot m_root;
    testsupport::TempDir m_folder;
    const std::string m_program;
    boost::asio::io_context m_io;
};

}  // namespace servertest
