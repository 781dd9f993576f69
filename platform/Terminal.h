// The terminal a front end writes to.
#pragma once

namespace larkspan {

// Columns of the terminal on descriptor Fd, 0 when Fd is no terminal or its
// size is unknown.
int TerminalColumns(int Fd);
// True when descriptor Fd is a terminal.
bool IsTerminal(int Fd);

}  // namespace larkspan
