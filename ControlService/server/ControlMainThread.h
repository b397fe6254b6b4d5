// The control service's main thread and its stop, as the service module calls them.
#pragma once

#include <string>

#include <boost/asio/io_context.hpp>

#include "server/ControlServer.h"

namespace Control {

// The process-wide io_context that carries the acceptor and every session's reads.
boost::asio::io_context& sharedIoContext();

// Starts the periodic tasks, serves on 127.0.0.1:port until the shared io_context stops, then ends the
// sessions, the pending client restarts and the tasks. Returns when the server could not run too; the
// failure is logged. Tests give their own port and settings (the handlers are the control handlers
// unless the settings bring their own).
void serveControl(const std::string& portText, ServerSettings settings);

// serveControl with the port of string 106. The environment variable TESK_TEST_CTRL_PORT, for tests
// that run the service executable, replaces the port.
void mainThreadFunc();

// Stops the shared io_context; mainThreadFunc then finishes.
void stop();

}  // namespace Control
