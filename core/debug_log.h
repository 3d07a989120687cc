// The debug log: "DebugLog.txt" in the current directory, one line per call.
#pragma once

// Formats one line (cut at 1,023 characters) and appends it with "\r\n". The file is opened
// and closed on every call, so the log survives a crash. It is written only when it is a plain
// file with one name, a link never followed; a line that finds no such log before the working
// place exists is kept, up to 8 KiB, and written into the working place's log once that exists.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
