// No exception may cross the library's boundary: each export runs its body through Guarded, which
// logs what escapes and returns the export's "unknown" value instead.
#pragma once

#include <exception>
#include <utility>

#include "Logging/Log.h"

template <class Result, class Body>
Result Guarded(const char* exportName, Result unknown, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        LOG_SEV(error) << exportName << " failed: " << e.what();
    } catch (...) {
        LOG_SEV(error) << exportName << " failed";
    }
    return unknown;
}

template <class Body>
void Guarded(const char* exportName, Body&& body) noexcept {
    Guarded(exportName, 0, [&] {
        std::forward<Body>(body)();
        return 0;
    });
}
