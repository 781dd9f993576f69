// SIGINT, SIGTERM and SIGHUP for a front end without an event loop (the
// command line): the first SIGINT or SIGTERM asks the run to stop, so the
// report still comes; anything more ends the process at once, without
// leaving work behind.
#pragma once

namespace larkspan {

// Blocks the three signals in the calling thread (and so in every thread it
// starts afterwards) and starts a thread that waits for them.
// The first SIGINT or SIGTERM is noted (StopSignalReceived) and calls
// StopAllPrograms (Process.h): the running outside programs die with their
// process groups and the engine, which watches it, stops between files; the
// front end then ends with status 128 + the signal (130 for SIGINT, 143 for
// SIGTERM). SIGHUP, or a second SIGINT/SIGTERM, runs KillRunningPrograms
// and RemoveLiveTempFiles and ends the process with 128 + its number.
// REQUIRES: called once, from the main thread, before any other thread is
// started.
void InstallStopSignals();
// The first stop signal received since InstallStopSignals, 0 for none.
int StopSignalReceived();

}  // namespace larkspan
