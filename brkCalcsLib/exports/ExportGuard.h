// No exception may cross the library's boundary: each export runs its body through Guarded, which
// logs what escapes and returns the export's "unknown" value instead. Exports that touch records
// use GuardedOnRecords, which also holds the record barrier, so the records cannot be released
// under them. Once the library's statics are gone (a host calling from its exit handlers) every
// guarded export returns its "unknown" value at once.
#pragma once

#include <exception>
#include <utility>

#include "LibraryLifetime.h"
#include "Logging/Log.h"
#include "records/RecordBarrier.h"

template <class Result, class Body>
Result Guarded(const char* exportName, Result unknown, Body&& body) noexcept {
    if (!LibraryStaticsAlive())
        return unknown;
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

template <class Result, class Body>
Result GuardedOnRecords(const char* exportName, Result unknown, Body&& body) noexcept {
    return Guarded(exportName, unknown, [&] {
        const CRecordBarrier::Shared records;
        return std::forward<Body>(body)();
    });
}

template <class Body>
void GuardedOnRecords(const char* exportName, Body&& body) noexcept {
    Guarded(exportName, [&] {
        const CRecordBarrier::Shared records;
        std::forward<Body>(body)();
    });
}
