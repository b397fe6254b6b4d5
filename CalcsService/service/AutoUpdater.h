// Starts updater programs of the executable's folder, at most one of each at a time; the service's own is string 104.
#pragma once

#include <string>

// Starts the program fileName of the executable's folder, with the argument "force" when forced, unless
// a process of that file name runs already: 0 once it runs, EALREADY when one ran already, else the
// errno of the start. The check and the start happen under one lock, so concurrent calls never start two.
int startUpdaterUnlessRunning(const std::string& fileName, bool force);

// Starts the updater through startUpdaterUnlessRunning; when it runs already, warns and pauses 5 s
// (interruptible on a Boost thread).
void launchAutoUpdater(bool force);

// Whether a process whose executable has the updater's file name runs.
bool isProcessRunning();

// For the download-version request: launchAutoUpdater(force).
void startAutoUpdate(bool force);

// For the periodic updater threads: launchAutoUpdater(false); returns false.
bool autoUpdateStep();
