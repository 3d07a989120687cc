// The debug log: "DebugLog.txt" in the current directory, one line per call.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Formats one line (cut at 1,023 characters) and appends it with "\r\n". The file is opened
// and closed on every call, so the log survives a crash. It is written only when it is a plain
// file with one name, a link never followed; a line that finds no such log before the working
// place exists is kept, up to 8 KiB, and written into the working place's log once that exists.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Logs "label : text" as one line, the text's line breaks turned into blanks.
void LogText(const char* label, const char* text);

// A log file opened for appending without following a link: a handle only to a plain file with
// no other name, so that no line lands in a file someone linked there (Windows 95, 98 and Me
// know neither); INVALID_HANDLE_VALUE otherwise.
HANDLE OpenLogFile(const char* path);
bool AppendToLogFile(const char* path, const char* bytes, size_t n);

// Logs the line as LogLine does and, on NT, appends it to the fleet log (g_run.fleetLog)
// behind the process id: the lines that open and close every run.
void LogFleetLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The run's last line, once, whichever end comes first: exit code, its name, what the run did
// (g_run.ending) and what to do. Lines no working place ever took go to the fleet log before it.
void LogRunEnd(uint32_t code);
