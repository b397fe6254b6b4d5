// Starts the service's updater program (string 104, in the executable's folder), at most one at a time.
#pragma once

// Starts the updater with the argument "force" when forced, unless a process of the updater's file name
// runs already; then it warns and pauses 5 s (interruptible on a Boost thread). The check and the start
// happen under one lock, so concurrent calls never start two updaters.
void launchAutoUpdater(bool force);

// Whether a process whose executable has the updater's file name runs.
bool isProcessRunning();

// For the download-version request: launchAutoUpdater(force).
void startAutoUpdate(bool force);

// For the periodic updater threads: launchAutoUpdater(false); returns false.
bool autoUpdateStep();
