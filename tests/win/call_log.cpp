#include "tests/win/call_log.h"

#include <mutex>

namespace {
std::mutex g_mutex;  // the progress window double records from its own thread
std::vector<std::string> g_calls;
}  // namespace

void RecordCall(const std::string& call) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(call);
}

std::vector<std::string> RecordedCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

void ClearCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.clear();
}

int CallIndex(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (size_t i = 0; i < g_calls.size(); ++i) {
        if (g_calls[i] == name) return static_cast<int>(i);
    }
    return -1;
}
