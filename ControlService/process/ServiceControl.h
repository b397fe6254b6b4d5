// Starting and stopping a service through the service control manager, with the outcome logged. The
// operations run one at a time (a process-wide lock); nothing is returned to the caller.
#pragma once

#include <chrono>
#include <string>

// Starts the service unless it runs; waits while it is stop pending and then while it is start pending,
// as long as its checkpoint advances.
void startServiceByName(const std::string& name);

// How long a stop may take in all.
constexpr std::chrono::milliseconds kStopTimeLimit{30000};

// Stops the service's active dependents and then the service, and waits until it has stopped, within
// the time limit counted from the call. Success is logged only for a stop that ended with exit code 0,
// otherwise an error line with the code.
void stopServiceByName(const std::string& name, std::chrono::milliseconds limit = kStopTimeLimit);

// Stops the active services that depend on name, within the limit; true when all of them stopped (or
// there were none). Part of the stop: not locked on its own.
bool stopDependentServices(const std::string& name, std::chrono::milliseconds limit = kStopTimeLimit);
