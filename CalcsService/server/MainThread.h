// The calculations service's main thread and its stop, as the service module calls them.
#pragma once

#include <string>

#include <boost/asio/io_context.hpp>

#include "server/CalcsServer.h"
#include "service/ServerStartup.h"

// The process-wide io_context that carries the acceptor and every session's reads.
boost::asio::io_context& sharedIoContext();

// Binds the library (null: the shipped library), serves on 127.0.0.1:port until the shared io_context
// stops, then finishes the session and releases the library. Tells startup once it listens, or why it
// cannot (a port text that is not a port number is such a reason). Returns when the server could not
// run too; the failure is logged. Tests give their own port, library and settings.
void serveCalculations(const std::string& portText, const char* libraryFileName, ServerSettings settings,
                       ServerStartup& startup);

// serveCalculations with the port of string 105 and the shipped library. The environment variable
// TESK_TEST_CALCS_PORT, for tests that run the service executable, replaces the port.
void mainThreadFunc(ServerStartup& startup);

// Stops the shared io_context; mainThreadFunc then finishes.
void stop();
