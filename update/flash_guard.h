// Nothing that can be refused interrupts a firmware write. From the first write to the last the
// system is kept awake, closing the lid does nothing, and the progress window refuses session
// ends and suspends (it reads g_run.flashGuarded). What a Windows lacks or refuses is logged and
// the run goes on.
#pragma once

// Holds the guard; a second call while it holds does nothing. The lid's old values are written
// into the working place before they are changed.
void HoldFlashGuard(void);

// Puts back all the hold changed and lets the system sleep again: once, whatever held.
void ReleaseFlashGuard(void);

// Puts back the lid values that an earlier run saved in place (its working place, a directory
// only administrators can change) and could not put back itself.
void RestoreSavedLid(const char* place);
