// SIGTERM, SIGINT and SIGHUP taken as a request to end the program the way its own exit
// does (so that the names it shares with other programs are removed): the handler only writes
// to a pipe, whose reading end the program's event loop watches.
#pragma once

namespace host {

// Installs the handlers (once) and returns the pipe's reading end, readable after any of the
// signals; -1 when no pipe could be made (the signals then keep their default action).
int CatchEndSignals();
// Empties the pipe after the event loop has seen it readable.
void DrainEndSignals();

}  // namespace host
