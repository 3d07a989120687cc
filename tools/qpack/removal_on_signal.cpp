#include "tools/qpack/removal_on_signal.h"

#include <signal.h>

#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Fixed slots: the handler may touch nothing that allocates.
constexpr int kSlots = 32;
constexpr size_t kPathLargest = 4096;
char g_paths[kSlots][kPathLargest];
volatile sig_atomic_t g_count = 0;

void RemovePath(const char* path) {
    if (remove(path) == 0) return;
#ifndef _WIN32
    // A folder that still holds files: rm, started from the handler as only fork and exec may be.
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/rm", "rm", "-rf", "--", path, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child > 0) waitpid(child, nullptr, 0);
#endif
}

void OnSignal(int signal) {
    for (int i = 0; i < g_count; ++i) RemovePath(g_paths[i]);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void RemoveMadeOnSignals() {
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
#ifdef SIGHUP
    signal(SIGHUP, OnSignal);
#endif
}

void RemoveOnSignal(const std::string& path) {
    if (g_count >= kSlots || path.size() >= kPathLargest) return;
    memcpy(g_paths[g_count], path.c_str(), path.size() + 1);
    g_count = g_count + 1;
}
