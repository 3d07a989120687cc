// The lines that open every run's log: when, what program on what Windows, how it was
// started. The closing line is LogRunEnd's (core/debug_log.h).
#pragma once

void LogRunOpening(const char* commandText);

// What the package is, once it was read: its SHA-256 (of the whole file) and, when it was proven,
// the BIOS images and EC files it carries.
void LogPackageFacts(bool proven);
