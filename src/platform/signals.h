// SIGTERM and SIGINT (a desktop log-out, Ctrl-C in a terminal) end the run as a confirmed
// close: the handler only records the request, the engine's loops act on it.
#pragma once

namespace zorvel {

void InstallTerminationHandlers();
bool TerminationSignalled();

}  // namespace zorvel
