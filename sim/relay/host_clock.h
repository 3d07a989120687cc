// The host's wall clock as Wine gives it to every process alike, so that moments taken in
// different processes (and by the host's own `date`) compare.
#pragma once
#include <windows.h>

// Microseconds since 1 January 1970.
inline unsigned long long HostMicros() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks = {{now.dwLowDateTime, now.dwHighDateTime}};
    return (ticks.QuadPart - 116444736000000000ull) / 10;  // 100 ns units since 1601
}
