// Starts the calculations service's updater program (string 105, in the executable's folder).
#pragma once

// Starts the updater, with the argument "force" when forced, unless a process of the updater's file
// name runs already (then it warns and starts nothing). Concurrent calls never start two.
void launchCalcsUpdater(bool force);
