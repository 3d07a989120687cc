// The lines that open every run's log: when, what program on what Windows, how it was
// started. The closing line is LogRunEnd's (core/debug_log.h).
#pragma once

void LogRunOpening(const char* commandText);
