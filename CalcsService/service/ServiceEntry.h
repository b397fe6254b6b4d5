// The program entry of both services.
#pragma once

// Sets up the process (stop signals, locale, folder, logging), logs the command line and runs the
// service module. Returns the exit status: 0 on success, never 0 after a failure. A main thread that did
// not stop in time makes it end the process directly, without static destructors.
int serviceWinMain(int argc, char* argv[]);
