// The library calls the bridge's callbacks on its own threads: an exception must never travel back
// into the library. Every callback runs its body through guardedCallback.
#pragma once

#include <exception>

#include "Logging/ClientText.h"
#include "Logging/Log.h"

namespace Bridge {

// The body's result, or `fallback` with an error line when the body throws.
template <class Result, class Body>
Result guardedCallback(const char* name, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        try {
            LOG_SEV(error) << name << " failed: " << Logging::EscapeClientText(e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            LOG_SEV(error) << name << " failed: unknown exception";
        } catch (...) {
        }
    }
    return fallback;
}

}  // namespace Bridge
