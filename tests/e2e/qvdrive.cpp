// Starts a program, reports and answers each message box it shows, and prints its full
// 32-bit exit code (a shell sees only the low 8 bits).
//
//   qvdrive [--answer ok|cancel]... [--type ID=TEXT]... [--hold MS] [--park] [--timeout S]
//           [--times] [--station NAME] -- PROGRAM [ARGUMENT...]
//
// Prints one line per event: BOX title="..." text="..." buttons=... owned=0|1 (whether the box
// has an owner window), ANSWER ok, and at the end
// EXIT 0x........ or TIMEOUT. Boxes past the given answers are answered ok. Texts are printed
// in UTF-8, whatever the system's code page. --park moves each box to the screen's lower-left
// corner before --hold, so that a screenshot shows the window behind it. --type types TEXT, key
// by key, into the edit control ID of each box that has one (a dialog asking for values) before
// it is answered. --times looks for boxes every 5 ms instead of 50 and adds what the bench
// measures: TIME lines (microseconds since 1970 on the host's clock) when the program starts,
// each box is found and answered, each process it starts begins and ends, and the program
// ends, PID, the program's process id, and PEAK, its peak working set in bytes as last read
// before it ended. --station starts the program on a desktop of a window station of that name
// that qvdrive makes, which nobody sees, as a service's is: a box there is never found, and a
// program that waits at one ends in TIMEOUT.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/relay/host_clock.h"

namespace {

struct Options {
    std::vector<std::string> answers;
    std::vector<std::pair<int, std::string>> typed;  // edit control id, text
    DWORD holdMs = 0;
    bool park = false;
    bool times = false;
    DWORD timeoutMs = 60000;
    std::string swapIn;  // put at the program's path once its process exists, before it runs
    std::string station;
    std::string program;
    std::string commandLine;
};

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Quote(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

bool ParseArguments(int argc, char** argv, Options* options) {
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (strcmp(argv[i], "--park") == 0) {
            options->park = true;
            continue;
        }
        if (strcmp(argv[i], "--times") == 0) {
            options->times = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        if (strcmp(argv[i], "--answer") == 0) {
            options->answers.push_back(argv[++i]);
        } else if (strcmp(argv[i], "--type") == 0) {
            const char* value = argv[++i];
            const char* equals = strchr(value, '=');
            if (equals == nullptr) return false;
            options->typed.emplace_back(atoi(value), equals + 1);
        } else if (strcmp(argv[i], "--hold") == 0) {
            options->holdMs = static_cast<DWORD>(atoi(argv[++i]));
        } else if (strcmp(argv[i], "--timeout") == 0) {
            options->timeoutMs = static_cast<DWORD>(atoi(argv[++i])) * 1000;
        } else if (strcmp(argv[i], "--swap-at-start") == 0) {
            options->swapIn = argv[++i];
        } else if (strcmp(argv[i], "--station") == 0) {
            options->station = argv[++i];
        } else {
            return false;
        }
    }
    if (++i >= argc) return false;
    options->program = argv[i];
    for (; i < argc; ++i) {
        if (!options->commandLine.empty()) options->commandLine += ' ';
        options->commandLine += Quote(argv[i]);
    }
    return true;
}

void Say(const std::string& line) {
    printf("%s\n", line.c_str());
    fflush(stdout);
}

BOOL CALLBACK CountButton(HWND control, LPARAM count) {
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    if (_stricmp(className, "Button") == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// A message box is a dialog with buttons; the program's progress window has none.
bool HasButtons(HWND dialog) {
    int buttons = 0;
    EnumChildWindows(dialog, CountButton, reinterpret_cast<LPARAM>(&buttons));
    return buttons > 0;
}

struct BoxSearch {
    DWORD processId;
    std::set<HWND>* seen;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && strcmp(className, "#32770") == 0 &&
        IsWindowVisible(window) && search->seen->count(window) == 0 && HasButtons(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct BoxContent {
    std::string text;
    std::string buttons;
};

// A window's text in UTF-8.
std::string WindowText(HWND window) {
    wchar_t wide[2048] = {};
    GetWindowTextW(window, wide, 2048);
    char utf8[8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

BOOL CALLBACK ReadControl(HWND control, LPARAM context) {
    BoxContent* content = reinterpret_cast<BoxContent*>(context);
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    std::string text = WindowText(control);
    if (_stricmp(className, "Static") == 0 && !text.empty()) {
        content->text += text;
    } else if (_stricmp(className, "Button") == 0) {
        if (!content->buttons.empty()) content->buttons += ',';
        content->buttons += text;
    }
    return TRUE;
}

// Replaces the text of the box's edit id as keys typed into it would.
void TypeInto(HWND box, int id, const std::string& text) {
    HWND edit = GetDlgItem(box, id);
    char className[32] = {};
    GetClassNameA(edit, className, sizeof className);
    if (_stricmp(className, "Edit") != 0) return;
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

void SayTime(bool times, const char* event, DWORD processId = 0) {
    if (!times) return;
    char line[96];
    if (processId) {
        snprintf(line, sizeof line, "TIME %s %lu %llu", event, processId, HostMicros());
    } else {
        snprintf(line, sizeof line, "TIME %s %llu", event, HostMicros());
    }
    Say(line);
}

struct JobWatch {
    HANDLE port;
    DWORD programId;
    HANDLE programEnded;  // set once the program's own end is reported
};

// The program's processes come and go through its job: its children's start and end, timed.
DWORD WINAPI WatchJob(LPVOID context) {
    JobWatch* watch = static_cast<JobWatch*>(context);
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED processId = nullptr;
    while (GetQueuedCompletionStatus(watch->port, &message, &key, &processId, INFINITE)) {
        DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(processId));
        if (message == JOB_OBJECT_MSG_NEW_PROCESS) SayTime(true, "process-start", id);
        if (message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) {
            SayTime(true, "process-end", id);
            if (id == watch->programId) SetEvent(watch->programEnded);
        }
    }
    return 0;
}

// A job whose completion port reports the processes in it; false when Wine or Windows has none.
bool WatchProcesses(HANDLE suspended, JobWatch* watch) {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    watch->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    watch->programEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job, watch->port};
    if (job == nullptr || watch->port == nullptr || watch->programEnded == nullptr ||
        !SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof association) ||
        !AssignProcessToJobObject(job, suspended)) {
        return false;
    }
    HANDLE watcher = CreateThread(nullptr, 0, WatchJob, watch, 0, nullptr);
    if (watcher) CloseHandle(watcher);
    return watcher != nullptr;
}

void AnswerBox(HWND box, const std::string& answer) {
    int id = answer == "cancel" ? IDCANCEL : IDOK;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        fprintf(stderr,
                "usage: qvdrive [--answer ok|cancel]... [--type ID=TEXT]... [--hold MS] [--park] "
                "[--timeout S] [--times] [--swap-at-start FILE] [--station NAME] -- PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string desktop = options.station + "\\Default";
    if (!options.station.empty()) {
        // A desktop is made in the caller's own window station: step into the new one for that.
        HWINSTA own = GetProcessWindowStation();
        HWINSTA station = CreateWindowStationA(options.station.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
        if (station == nullptr || !SetProcessWindowStation(station) ||
            CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr) == nullptr ||
            !SetProcessWindowStation(own)) {
            fprintf(stderr, "qvdrive: cannot make window station %s (error %lu)\n", options.station.c_str(),
                    GetLastError());
            return 2;
        }
        startup.lpDesktop = desktop.data();
    }
    PROCESS_INFORMATION process = {};
    std::vector<char> commandLine(options.commandLine.begin(), options.commandLine.end());
    commandLine.push_back('\0');
    SayTime(options.times, "start");
    bool suspended = options.times || !options.swapIn.empty();
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process)) {
        fprintf(stderr, "qvdrive: cannot start %s (error %lu)\n", options.commandLine.c_str(),
                GetLastError());
        return 2;
    }
    JobWatch watch = {nullptr, process.dwProcessId, nullptr};
    if (options.times) {
        Say("PID " + std::to_string(process.dwProcessId));
        if (!WatchProcesses(process.hProcess, &watch)) SayTime(true, "no-job");
    }
    // What another program of the user may do the moment the process exists: the started file
    // renamed away and another put at its path.
    if (!options.swapIn.empty()) {
        std::string away = options.program + ".started";
        bool swapped = MoveFileA(options.program.c_str(), away.c_str()) &&
                       CopyFileA(options.swapIn.c_str(), options.program.c_str(), TRUE);
        Say(swapped ? "SWAPPED" : "NOT SWAPPED");
    }
    if (suspended) ResumeThread(process.hThread);
    SIZE_T peak = 0;

    std::set<HWND> seen;
    size_t answered = 0;
    DWORD started = GetTickCount();
    while (WaitForSingleObject(process.hProcess, options.times ? 5 : 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - started > options.timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            Say("TIMEOUT");
            return 3;
        }
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (options.times && GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
            peak = memory.PeakWorkingSetSize > peak ? memory.PeakWorkingSetSize : peak;
        }
        BoxSearch search = {process.dwProcessId, &seen, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) continue;
        SayTime(options.times, "box");
        // Give the box a moment to fill its controls before reading them.
        Sleep(100);
        seen.insert(search.found);
        std::string title = WindowText(search.found);
        BoxContent content;
        EnumChildWindows(search.found, ReadControl, reinterpret_cast<LPARAM>(&content));
        Say("BOX title=\"" + Escape(title) + "\" text=\"" + Escape(content.text) +
            "\" buttons=" + content.buttons +
            " owned=" + (GetWindow(search.found, GW_OWNER) != nullptr ? "1" : "0"));
        if (options.park) {
            RECT box;
            GetWindowRect(search.found, &box);
            SetWindowPos(search.found, nullptr, 8,
                         GetSystemMetrics(SM_CYSCREEN) - (box.bottom - box.top) - 8, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        for (const auto& typed : options.typed) TypeInto(search.found, typed.first, typed.second);
        if (options.holdMs) Sleep(options.holdMs);
        std::string answer = answered < options.answers.size() ? options.answers[answered] : "ok";
        ++answered;
        SayTime(options.times, "answer");
        AnswerBox(search.found, answer);
        Say("ANSWER " + answer);
    }
    SayTime(options.times, "end");
    // The job reports the program's end a moment apart from its handle: wait for that line.
    if (watch.programEnded) WaitForSingleObject(watch.programEnded, 1000);
    if (options.times) Say("PEAK " + std::to_string(peak));
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    char line[32];
    snprintf(line, sizeof line, "EXIT 0x%08lX", exitCode);
    Say(line);
    return 0;
}
