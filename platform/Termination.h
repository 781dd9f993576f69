// Ending the program on SIGINT, SIGTERM or SIGHUP without leaving work
// behind: running outside programs are killed with their process groups and
// live temporary files are removed before the process exits.
#pragma once

namespace larkspan {

// Blocks the three signals in the calling thread (and so in every thread it
// starts afterwards) and starts a thread that waits for them. On a signal it
// runs KillRunningPrograms and RemoveLiveTempFiles, then ends the process
// with status 128 + the signal's number (130 for SIGINT, 143 for SIGTERM).
// REQUIRES: called once, from the main thread, before any other thread is
// started.
void ExitCleanlyOnTermination();

}  // namespace larkspan
