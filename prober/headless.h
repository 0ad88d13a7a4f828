#pragma once
// The program without a window: the prober of a configuration file, and its metrics.

#include "prober/options.h"

namespace prober {

// Runs until SIGTERM or SIGINT; returns the exit status. A configuration, files folder or
// metrics address that cannot be used ends it with one line on stderr and kUsageExit, before
// any measurement runs.
int runHeadless(const Options& options, int& argc, char** argv);

} // namespace prober
