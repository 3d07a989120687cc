// The debug log: "DebugLog.txt" in the current directory, one line per call.
#pragma once

// Formats one line (cut at 1,023 characters) and appends it with "\r\n". The file is opened
// and closed on every call, so the log survives a crash; a line that cannot be written is
// dropped without a word.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
