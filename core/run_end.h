// The one way out of a run. Every end (a result's box, the completion, a cancel, the exit deep
// in the access driver) passes through EndRun before it shows a box, powers off or exits, so
// that what the run took from the machine (input, the flash guard) is given back once.
#pragma once

typedef void (*EndRoutine)(void);

// The routine EndRun runs: set once by the program at its start.
void SetEndRoutine(EndRoutine routine);

// Runs the routine, the first time only; nothing before one is set.
void EndRun(void);
