// What a standard user's program does to the elevated run in the e2e attacks.
//
//   attacker hold FILE SECONDS   holds FILE open for reading, sharing only reading, so that
//                                nobody can delete or replace it meanwhile; prints "held"
//   attacker lock SECONDS        holds a mutex named Global\QuorvinUpdateRun and an event named
//                                QuorvinUpdateRun, as any user may; prints "held"
//   attacker run SECONDS         holds the Windows directory's QuorvinUpdate.lock as a run in
//                                progress does (only an administrator could); prints "held"
//   attacker endsession          asks every top-level window of other processes, as Windows asks
//                                before a shutdown and a suspend, whether it may end
//                                (WM_QUERYENDSESSION, PBT_APMQUERYSUSPEND) and posts message
//                                1025 to every dialog; prints how many refused and were posted to
//   planted.dll                  built as a DLL from this file too: planted beside the package
//                                under a system DLL's name, its DllMain adds a line to
//                                C:\planted.txt: the program it was loaded into, and itself
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#ifdef QV_PLANTED_DLL
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char program[MAX_PATH] = "?";
        char dll[MAX_PATH] = "?";
        GetModuleFileNameA(nullptr, program, sizeof program);
        GetModuleFileNameA(self, dll, sizeof dll);
        char line[2 * MAX_PATH + 4];
        int length = wsprintfA(line, "%s %s\r\n", program, dll);
        HANDLE mark = CreateFileA("C:\\planted.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(mark, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(mark);
    }
    return TRUE;
}
#else
namespace {

struct Asked {
    int endRefused, suspendRefused, posted;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM context) {
    Asked* asked = reinterpret_cast<Asked*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return TRUE;
    DWORD_PTR answer = 1;
    if (SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 3000, &answer) && answer == 0) {
        ++asked->endRefused;
    }
    answer = 0;
    if (SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0, SMTO_ABORTIFHUNG, 3000, &answer) &&
        answer == static_cast<DWORD_PTR>(BROADCAST_QUERY_DENY)) {
        ++asked->suspendRefused;
    }
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpA(name, "#32770") == 0 && PostMessageA(window, WM_USER + 1, 1, 0)) ++asked->posted;
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && lstrcmpA(argv[1], "endsession") == 0) {
        Asked asked = {};
        EnumWindows(AskWindow, reinterpret_cast<LPARAM>(&asked));
        printf("endsession refused %d\nsuspend refused %d\nposted 1025 to %d\n", asked.endRefused,
               asked.suspendRefused, asked.posted);
        return 0;
    }
    bool hold = argc == 4 && lstrcmpA(argv[1], "hold") == 0;
    bool lock = argc == 3 && lstrcmpA(argv[1], "lock") == 0;
    bool run = argc == 3 && lstrcmpA(argv[1], "run") == 0;
    if (!hold && !lock && !run) {
        fprintf(stderr, "usage: attacker hold FILE SECONDS | attacker lock SECONDS | attacker run SECONDS | attacker endsession\n");
        return 2;
    }
    char path[MAX_PATH + 32];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    lstrcpyA(path + length, "\\QuorvinUpdate.lock");
    HANDLE held = nullptr;
    HANDLE event = nullptr;
    if (hold) held = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (run) held = CreateFileA(path, GENERIC_READ | DELETE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock) {
        held = CreateMutexA(nullptr, TRUE, "Global\\QuorvinUpdateRun");
        event = CreateEventA(nullptr, TRUE, FALSE, "QuorvinUpdateRun");
        if (event == nullptr) return 1;
    }
    if (held == nullptr || held == INVALID_HANDLE_VALUE) return 1;
    printf("held\n");
    fflush(stdout);
    Sleep(static_cast<DWORD>(atoi(argv[argc - 1])) * 1000);
    CloseHandle(held);
    if (event != nullptr) CloseHandle(event);
    return 0;
}
#endif
