#pragma once

#include <cstddef>
#include <string>

// What the server's process asks of the system: the operator's signals and the
// open-file limit. On Linux SIGINT and SIGTERM stop the server, SIGHUP reloads its
// configuration and SIGUSR1 logs its counters; Windows has only the first two.
namespace tarnvale::connectserver::process {

void WatchSignals();
// Each is true once for every signal that arrived since the last call.
bool TakeStop();
bool TakeReload();
bool TakeStatusRequest();

// Raises the soft open-file limit as far as the hard limit allows. Returns the
// limit in force (0: the system sets none the server must heed) and describes it
// for the log in `note`.
std::size_t RaiseOpenFileLimit(std::string& note);

} // namespace tarnvale::connectserver::process
