// Starts a program in the interactive user's session (see platform/UserSession.h): as the session's
// user, with the session's environment over the service's, in the service's working folder, detached,
// with descriptors 0-2 on /dev/null.
#pragma once

#include <string>

// 0 once the program runs (its pid logged at info), else the error number (logged at error). Nothing
// is started without a session shell process, and a user's program is never started as root.
int launchProcessInUserSession(const std::string& path);
