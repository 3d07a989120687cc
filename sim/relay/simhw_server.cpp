// simhw.exe: serves the simulated notebook of a machine profile to simhw.sys and to the stand-in
// flashers over a named pipe, writing every access to a trace file, and traces the power going
// off when the session ends. It runs until it is ended, which keeps the Wine session (and so the
// relay driver) alive while a run lasts.
//
//   simhw --profile PROFILE.json --trace TRACE.txt [--ready FILE] [--times FILE]
//
// --times writes each trace line once more, behind the moment it was served (microseconds
// since 1970 on the host's clock): what the bench times the run's steps by.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/flasher_requests.h"
#include "sim/profile.h"
#include "sim/relay/host_clock.h"
#include "sim/relay/pipe_io.h"
#include "sim/relay/relay_protocol.h"
#include "sim/request_decoder.h"
#include "sim/smart_drives.h"

namespace {

const char kPipe[] = "\\\\.\\pipe\\" QV_RELAY_PIPE_NAME;

struct CallerProcess {
    HANDLE process;
};

bool ReadCaller(void* context, uint32_t address, uint32_t* value) {
    CallerProcess* caller = static_cast<CallerProcess*>(context);
    SIZE_T got = 0;
    return caller->process &&
           ReadProcessMemory(caller->process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)),
                             value, 4, &got) && got == 4;
}

bool WriteCaller(void* context, uint32_t address, uint32_t value) {
    CallerProcess* caller = static_cast<CallerProcess*>(context);
    SIZE_T put = 0;
    return caller->process &&
           WriteProcessMemory(caller->process, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(address)),
                              &value, 4, &put) && put == 4;
}

HANDLE NewInstance() {
    return CreateNamedPipeA(kPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, 1 << 16, 1 << 16, 0, nullptr);
}

SimDevice DeviceOf(unsigned int kind) {
    switch (kind) {
        case QV_RELAY_VEXA: return SimDevice::Vexa;
        case QV_RELAY_KMDF: return SimDevice::Kmdf;
        case QV_RELAY_MEMIO: return SimDevice::Memio;
        default: return SimDevice::Addmem;
    }
}

// The machine and its trace file, shared by the pipe's loop and the power window's thread.
MachineProfile g_profile;
FILE* g_trace = nullptr;
FILE* g_times = nullptr;
CRITICAL_SECTION g_lock;
int g_relayRequests = 0;

void WriteTrace(size_t first) {
    const std::vector<std::string>& trace = g_profile.machine.trace;
    for (size_t i = first; i < trace.size(); ++i) fprintf(g_trace, "%s\n", trace[i].c_str());
    fflush(g_trace);
    if (g_times == nullptr) return;
    unsigned long long micros = HostMicros();
    for (size_t i = first; i < trace.size(); ++i) fprintf(g_times, "%llu %s\n", micros, trace[i].c_str());
    fflush(g_times);
}

// SMARTVSD.VXD, which a Windows 9x has where it was placed in IOSUBSYS: the profile's drives.
// Only a program that believes it runs on 9x opens it.
bool ServeSmartVsd(const QvRelayRequest& request, const std::vector<uint8_t>& in, std::vector<uint8_t>* out,
                   uint32_t* returned) {
    char line[96];
    snprintf(line, sizeof line, "ioctl SMARTVSD %X in=%u out=%u", request.code, request.inSize, request.outSize);
    g_profile.machine.trace.push_back(line);
    std::string identify;
    bool ok = g_profile.drivers.smartvsd &&
              ServeSmartRequest(g_profile.drives, kSmartVsdDrive, request.code, in.data(), request.inSize,
                                out->data(), request.outSize, returned, &identify);
    if (!identify.empty()) g_profile.machine.trace.push_back(identify);
    if (!ok) g_profile.machine.trace.push_back("refused");
    return ok;
}

// A relay request: decoded and served on the machine. False when the driver refuses it.
bool ServeRelay(const QvRelayRequest& request, const std::vector<uint8_t>& in, std::vector<uint8_t>* out,
                uint32_t* returned) {
    Machine* machine = &g_profile.machine;
    if (request.device == QV_RELAY_SMARTVSD) return ServeSmartVsd(request, in, out, returned);
    SimDevice device = DeviceOf(request.device);
    char line[96];
    snprintf(line, sizeof line, "ioctl %s %X in=%u out=%u", SimDeviceName(device), request.code,
             request.inSize, request.outSize);
    machine->trace.push_back(line);
    CallerProcess caller = {OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION,
                                        FALSE, request.processId)};
    CallerMemory memory = {&caller, ReadCaller, WriteCaller};
    // A driver that refuses requests fails each DeviceIoControl, the machine untouched.
    int refuseAfter = g_profile.drivers.refuseAfter;
    bool ok = (refuseAfter < 0 || g_relayRequests++ < refuseAfter) &&
              ServeRequest(machine, device, g_profile.windows.wow64, request.code, in.data(), request.inSize,
                           out->data(), request.outSize, returned, &memory);
    if (caller.process) CloseHandle(caller.process);
    if (!ok) machine->trace.push_back("refused");
    return ok;
}

// One request from the relay or a stand-in flasher: served, traced, then answered, so that the
// trace holds a request's lines by the time its caller goes on.
void Serve(HANDLE pipe) {
    QvRelayRequest request;
    if (!PipeIo(pipe, false, &request, sizeof request) || request.magic != QV_RELAY_MAGIC ||
        request.inSize > QV_RELAY_LARGEST || request.outSize > QV_RELAY_LARGEST ||
        request.device > QV_RELAY_SMARTVSD) {
        return;
    }
    bool flasher = request.device == QV_RELAY_FLASHER;
    // A flasher's input larger than its kind allows is never read: the handler refuses it by size.
    bool takeInput = !flasher || request.inSize <= FlasherRequestLimit(g_profile, request.code);
    std::vector<uint8_t> in(takeInput ? request.inSize : 0);
    std::vector<uint8_t> out(request.outSize);
    if (!in.empty() && !PipeIo(pipe, false, in.data(), request.inSize)) return;

    EnterCriticalSection(&g_lock);
    size_t first = g_profile.machine.trace.size();
    uint32_t returned = 0;
    bool ok = flasher ? ServeFlasherRequest(&g_profile, request.code, in.data(), request.inSize, out.data(),
                                            request.outSize, &returned)
                      : ServeRelay(request, in, &out, &returned);
    WriteTrace(first);
    LeaveCriticalSection(&g_lock);

    QvRelayAnswer answer = {QV_RELAY_MAGIC, ok ? 1u : 0u, ok ? returned : 0u};
    if (PipeIo(pipe, true, &answer, sizeof answer) && answer.returned) {
        PipeIo(pipe, true, out.data(), answer.returned);
    }
    FlushFileBuffers(pipe);
}

// Wine sends the end of the session to every top-level window, hidden ones too, when a program
// calls ExitWindowsEx, and then ends the window's process: the moment the power goes off.
LRESULT CALLBACK PowerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENDSESSION && wParam) {
        EnterCriticalSection(&g_lock);
        size_t first = g_profile.machine.trace.size();
        PowerOff(&g_profile.machine);
        WriteTrace(first);
        LeaveCriticalSection(&g_lock);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI PowerWindowThread(void* created) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PowerWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QvSimHwPower";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "simhw", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    SetEvent(created);
    if (window == nullptr) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string profilePath, tracePath, readyPath, timesPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--profile") == 0) profilePath = argv[i + 1];
        if (strcmp(argv[i], "--trace") == 0) tracePath = argv[i + 1];
        if (strcmp(argv[i], "--ready") == 0) readyPath = argv[i + 1];
        if (strcmp(argv[i], "--times") == 0) timesPath = argv[i + 1];
    }
    if (profilePath.empty() || tracePath.empty()) {
        fprintf(stderr, "usage: simhw --profile PROFILE.json --trace TRACE.txt [--ready FILE] [--times FILE]\n");
        return 2;
    }
    std::ifstream file(profilePath);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (!file || !ParseProfile(text.str(), &g_profile, &error)) {
        fprintf(stderr, "simhw: %s: %s\n", profilePath.c_str(), file ? error.c_str() : "cannot read");
        return 2;
    }
    g_trace = fopen(tracePath.c_str(), "wb");  // one "\n" per line, as on the host
    if (g_trace == nullptr) {
        fprintf(stderr, "simhw: cannot write %s\n", tracePath.c_str());
        return 2;
    }
    if (!timesPath.empty() && (g_times = fopen(timesPath.c_str(), "wb")) == nullptr) {
        fprintf(stderr, "simhw: cannot write %s\n", timesPath.c_str());
        return 2;
    }
    // One instance always listens, so that the next request never finds the pipe busy.
    HANDLE listening = NewInstance();
    if (listening == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "simhw: cannot create the pipe (error %lu)\n", GetLastError());
        return 2;
    }
    InitializeCriticalSection(&g_lock);
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, PowerWindowThread, created, 0, nullptr));
    WaitForSingleObject(created, INFINITE);
    CloseHandle(created);
    if (!readyPath.empty()) std::ofstream(readyPath) << "ready\n";
    for (;;) {
        if (!ConnectNamedPipe(listening, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
        HANDLE current = listening;
        listening = NewInstance();
        Serve(current);
        DisconnectNamedPipe(current);
        CloseHandle(current);
    }
}
