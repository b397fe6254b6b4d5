// A main thread for a service that has no server yet: it only waits for the stop.
#pragma once

// Returns once idleStop has been called (also when that happened first).
void idleMainThreadFunc();

void idleStop();
