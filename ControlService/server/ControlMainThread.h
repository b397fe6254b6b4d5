// The control service's main thread and its stop, as the service module calls them.
#pragma once

#include <string>

#include "service/ServerStartup.h"

namespace Control {

// Starts the periodic tasks, serves the control handlers on 127.0.0.1:port until stop(), then ends the
// sessions, the pending client restarts and the tasks. Tells startup once it listens, or why it cannot
// (a port text that is not a port number is such a reason). Returns when the server could not run too;
// the failure is logged.
void serveControl(const std::string& portText, ServerStartup& startup);

// serveControl with the port of string 106. The environment variable TESK_TEST_CTRL_PORT, for tests
// that run the service executable, replaces the port.
void mainThreadFunc(ServerStartup& startup);

// Ends serveControl's run; mainThreadFunc then finishes.
void stop();

}  // namespace Control
