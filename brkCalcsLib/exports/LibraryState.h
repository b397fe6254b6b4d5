// The library-wide state the exports share beyond the records.
#pragma once

#include <atomic>

// Set while the library stops, so that quotes arriving meanwhile are dropped.
inline std::atomic<bool> g_bShuttingDown{false};
