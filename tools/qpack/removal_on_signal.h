// What a command made and has not handed over yet (a temporary file, a staging folder), removed
// when SIGINT, SIGTERM or SIGHUP ends it: an interrupted build, signing or release leaves nothing.
#pragma once
#include <string>

// Installs the handlers: each removes every path named so far, then ends the process by the
// same signal.
void RemoveMadeOnSignals();

// path (a file, or a folder with all in it) is removed if a signal ends the command. A path
// renamed away since is gone by that name, and its removal does nothing.
void RemoveOnSignal(const std::string& path);
