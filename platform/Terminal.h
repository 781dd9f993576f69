// The terminal a front end writes to, and the signals that ask a run to stop.
#pragma once

namespace larkspan {

// Columns of the terminal on descriptor Fd, 0 when Fd is no terminal or its
// size is unknown.
int TerminalColumns(int Fd);
// True when descriptor Fd is a terminal.
bool IsTerminal(int Fd);

// Makes SIGINT and SIGTERM stop the run instead of ending the process: the
// handler notes the signal and calls StopAllPrograms (Process.h), which the
// engine watches. A second signal of the same kind ends the process as
// usual. REQUIRES: main thread, before any worker starts.
void InstallStopSignals();
// The first stop signal received since InstallStopSignals, 0 for none.
int StopSignalReceived();

}  // namespace larkspan
