// simhw.exe: serves the simulated notebook of a machine profile to simhw.sys over a named pipe,
// writing every access to a trace file. It runs until it is ended, which keeps the Wine
// session (and so the relay driver) alive while a run lasts.
//
//   simhw --profile PROFILE.json --trace TRACE.txt [--ready FILE]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/profile.h"
#include "sim/relay/relay_protocol.h"
#include "sim/request_decoder.h"

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

bool PipeIo(HANDLE pipe, bool write, void* bytes, DWORD size) {
    char* at = static_cast<char*>(bytes);
    while (size > 0) {
        DWORD done = 0;
        BOOL ok = write ? WriteFile(pipe, at, size, &done, nullptr) : ReadFile(pipe, at, size, &done, nullptr);
        if (!ok || done == 0) return false;
        at += done;
        size -= done;
    }
    return true;
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

// One request from the relay: decode, serve on the machine, answer, trace.
void Serve(HANDLE pipe, MachineProfile* profile, FILE* trace) {
    QvRelayRequest request;
    if (!PipeIo(pipe, false, &request, sizeof request) || request.magic != QV_RELAY_MAGIC ||
        request.inSize > QV_RELAY_LARGEST || request.outSize > QV_RELAY_LARGEST || request.device > 3) {
        return;
    }
    std::vector<uint8_t> in(request.inSize);
    std::vector<uint8_t> out(request.outSize);
    if (request.inSize && !PipeIo(pipe, false, in.data(), request.inSize)) return;

    Machine* machine = &profile->machine;
    SimDevice device = DeviceOf(request.device);
    size_t first = machine->trace.size();
    char line[96];
    snprintf(line, sizeof line, "ioctl %s %X in=%u out=%u", SimDeviceName(device), request.code,
             request.inSize, request.outSize);
    machine->trace.push_back(line);
    CallerProcess caller = {OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION,
                                        FALSE, request.processId)};
    CallerMemory memory = {&caller, ReadCaller, WriteCaller};
    uint32_t returned = 0;
    bool ok = ServeRequest(machine, device, profile->windows.wow64, request.code, in.data(),
                           request.inSize, out.data(), request.outSize, &returned, &memory);
    if (caller.process) CloseHandle(caller.process);
    if (!ok) machine->trace.push_back("refused");

    QvRelayAnswer answer = {QV_RELAY_MAGIC, ok ? 1u : 0u, ok ? returned : 0u};
    if (PipeIo(pipe, true, &answer, sizeof answer) && answer.returned) {
        PipeIo(pipe, true, out.data(), answer.returned);
    }
    FlushFileBuffers(pipe);
    for (size_t i = first; i < machine->trace.size(); ++i) fprintf(trace, "%s\n", machine->trace[i].c_str());
    fflush(trace);
}

}  // namespace

int main(int argc, char** argv) {
    std::string profilePath, tracePath, readyPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--profile") == 0) profilePath = argv[i + 1];
        if (strcmp(argv[i], "--trace") == 0) tracePath = argv[i + 1];
        if (strcmp(argv[i], "--ready") == 0) readyPath = argv[i + 1];
    }
    if (profilePath.empty() || tracePath.empty()) {
        fprintf(stderr, "usage: simhw --profile PROFILE.json --trace TRACE.txt [--ready FILE]\n");
        return 2;
    }
    std::ifstream file(profilePath);
    std::stringstream text;
    text << file.rdbuf();
    static MachineProfile profile;
    std::string error;
    if (!file || !ParseProfile(text.str(), &profile, &error)) {
        fprintf(stderr, "simhw: %s: %s\n", profilePath.c_str(), file ? error.c_str() : "cannot read");
        return 2;
    }
    FILE* trace = fopen(tracePath.c_str(), "wb");  // one "\n" per line, as on the host
    if (trace == nullptr) {
        fprintf(stderr, "simhw: cannot write %s\n", tracePath.c_str());
        return 2;
    }
    // One instance always listens, so that the next request never finds the pipe busy.
    HANDLE listening = NewInstance();
    if (listening == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "simhw: cannot create the pipe (error %lu)\n", GetLastError());
        return 2;
    }
    if (!readyPath.empty()) std::ofstream(readyPath) << "ready\n";
    for (;;) {
        if (!ConnectNamedPipe(listening, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
        HANDLE current = listening;
        listening = NewInstance();
        Serve(current, &profile, trace);
        DisconnectNamedPipe(current);
        CloseHandle(current);
    }
}
