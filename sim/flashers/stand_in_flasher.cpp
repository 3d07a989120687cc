// The stand-in flashers: one program the build names after each flasher tool a package carries.
// It records how it was called into the simulated notebook's trace, with the arguments its C
// runtime splits the command line into and any it refuses, asks simhw.exe what the
// machine profile wants of it, and does to the machine what the real tool does. Without simhw
// it records nothing, writes nothing and acts on the default scenario.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/flasher_scenario.h"
#include "sim/flashers/flasher_tools.h"
#include "sim/relay/pipe_io.h"
#include "sim/relay/relay_protocol.h"

namespace {

const char kPipe[] = "\\\\.\\pipe\\" QV_RELAY_PIPE_NAME;
const char kWindowTitle[] = "Phoenix Secure WinFlash";
constexpr UINT kWorkMs = 1000;  // long enough for a screenshot of the progress window to catch it
constexpr size_t kFileLargest = 0x1000000;
constexpr int kBadCommandLine = 2;  // the usual exit of a tool that cannot use its arguments
constexpr int32_t kOtherModel = -120;
constexpr uint32_t kBiosSegment = 0xF0000;
constexpr uint32_t kBiosSegmentSize = 0x10000;

std::string g_stem;  // the name this program was started under

// One request on a connection of its own, as the relay driver makes them; false when simhw is
// not there or refuses.
bool AskSimhw(uint32_t kind, const void* in, uint32_t inSize, void* out, uint32_t outSize) {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 20 && pipe == INVALID_HANDLE_VALUE; ++attempt) {
        pipe = CreateFileA(kPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE && GetLastError() != ERROR_PIPE_BUSY) return false;
        if (pipe == INVALID_HANDLE_VALUE) WaitNamedPipeA(kPipe, 100);
    }
    if (pipe == INVALID_HANDLE_VALUE) return false;
    QvRelayRequest head = {QV_RELAY_MAGIC, QV_RELAY_FLASHER, kind, inSize, outSize,
                           GetCurrentProcessId()};
    std::vector<uint8_t> request(sizeof head + inSize);
    memcpy(request.data(), &head, sizeof head);
    if (inSize) memcpy(request.data() + sizeof head, in, inSize);
    QvRelayAnswer answer = {};
    bool ok = PipeIo(pipe, true, request.data(), static_cast<DWORD>(request.size())) &&
              PipeIo(pipe, false, &answer, sizeof answer) && answer.magic == QV_RELAY_MAGIC && answer.ok &&
              answer.returned <= outSize &&
              (answer.returned == 0 || PipeIo(pipe, false, out, answer.returned));
    CloseHandle(pipe);
    return ok;
}

void Record(const std::string& line) {
    AskSimhw(QV_FLASHER_RECORD, line.data(), static_cast<uint32_t>(line.size()), nullptr, 0);
}

FlasherScenario AskScenario(const char* tool) {
    FlasherScenarios defaults;
    FlasherScenario scenario = *FlasherScenarioOf(&defaults, tool);
    QvFlasherScenario answer = {};
    if (AskSimhw(QV_FLASHER_SCENARIO, tool, static_cast<uint32_t>(strlen(tool)), &answer, sizeof answer)) {
        scenario = {answer.exitCode, answer.newSys != 0, answer.window != 0};
    }
    return scenario;
}

bool WriteFlash(uint32_t address, const uint8_t* bytes, uint32_t length) {
    std::vector<uint8_t> request(4 + length);
    memcpy(request.data(), &address, 4);
    memcpy(request.data() + 4, bytes, length);
    return AskSimhw(QV_FLASHER_FLASH_WRITE, request.data(), static_cast<uint32_t>(request.size()), nullptr,
                    0);
}

bool IsFile(const char* name) {
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A whole file of up to kFileLargest bytes; false when it is missing, empty or larger.
bool ReadWhole(const char* name, std::vector<uint8_t>* bytes) {
    FILE* file = fopen(name, "rb");
    if (file == nullptr) return false;
    bytes->resize(kFileLargest + 1);
    size_t got = fread(bytes->data(), 1, bytes->size(), file);
    fclose(file);
    bytes->resize(got);
    return got > 0 && got <= kFileLargest;
}

void WriteText(const char* name, const char* text) {
    FILE* file = fopen(name, "wb");
    if (file == nullptr) return;
    fputs(text, file);
    fclose(file);
}

std::string OwnStem() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string stem = path;
    stem.erase(0, stem.find_last_of("\\/") + 1);
    size_t dot = stem.rfind('.');
    return dot == std::string::npos ? stem : stem.substr(0, dot);
}

// How the tool was called: its command line exactly as it came, where it runs, and which of the
// files it is given are there.
std::string CallRecord(StandInTool tool) {
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string files;
    size_t count = 0;
    const char* const* given = GivenFiles(tool, &count);
    for (size_t i = 0; i < count; ++i) {
        if (!IsFile(given[i])) continue;
        if (!files.empty()) files += ',';
        files += given[i];
    }
    return g_stem + " cmd=\"" + GetCommandLineA() + "\" cwd=\"" + cwd + "\" files=" + files;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            Record(g_stem + " window closed");
            DestroyWindow(window);
            return 0;
        case WM_TIMER:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The flasher's window, up for kWorkMs from now unless it is closed first.
HWND OpenWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "QvStandInWinFlash";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, kWindowTitle,
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 360, 120, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return nullptr;
    CreateWindowExA(0, "STATIC", "Flashing the BIOS ...", WS_CHILD | WS_VISIBLE, 20, 24, 300, 20, window,
                    nullptr, windowClass.hInstance, nullptr);
    UpdateWindow(window);
    SetTimer(window, 1, kWorkMs, nullptr);
    return window;
}

void WaitForWindow() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// An image for another model or part is refused, whatever the scenario: the installed BIOS's
// identity is read where it runs, in the BIOS segment. Without simhw nothing is compared.
FlasherScenario CheckIdentity(FlasherScenario scenario, const std::vector<uint8_t>& image) {
    std::vector<uint8_t> segment(kBiosSegmentSize);
    if (!AskSimhw(QV_FLASHER_MEMORY_READ, &kBiosSegment, 4, segment.data(), kBiosSegmentSize)) return scenario;
    BiosIdentity machine = IdentityIn(segment.data(), segment.size());
    BiosIdentity offered = IdentityIn(image.data(), image.size());
    if (offered == machine) return scenario;
    Record(g_stem + " -120: bios.wph is for model \"" + offered.model + "\" part \"" + offered.part +
           "\", the machine is model \"" + machine.model + "\" part \"" + machine.part + "\"");
    scenario.exitCode = kOtherModel;
    scenario.newSys = true;
    return scenario;
}

int32_t RunPhoenix(FlasherScenario scenario) {
    HWND window = scenario.window ? OpenWindow() : nullptr;
    std::vector<uint8_t> image;
    bool haveImage = ReadWhole("bios.wph", &image);
    if (haveImage) scenario = CheckIdentity(scenario, image);
    int written = 0;
    if (haveImage && !IsVerdict(scenario.exitCode)) {
        for (const FlashBlock& block : PhoenixFlashBlocks(image.data(), image.size())) {
            written += WriteFlash(block.address, image.data() + block.imageOffset, block.length);
        }
    }
    if (haveImage && scenario.newSys) CopyFileA("bios.wph", "newSys.bin", FALSE);
    WriteText("bios.bak", "stand-in: the flash is not read back\r\n");
    char log[96];
    snprintf(log, sizeof log, "bios.wph: %d blocks written, exit code %d\r\n", written,
             static_cast<int>(scenario.exitCode));
    WriteText("PHLASH.LOG", log);
    if (window) WaitForWindow();
    return scenario.exitCode;
}

void RunMicom(const FlasherScenario& scenario) {
    std::vector<uint8_t> firmware;
    if (scenario.exitCode == 0 && ReadWhole("kbc.bin", &firmware)) {
        AskSimhw(QV_FLASHER_EC_FIRMWARE, firmware.data(), static_cast<uint32_t>(firmware.size()), nullptr, 0);
    }
}

void RunAmi(const FlasherScenario& scenario) {
    std::vector<uint8_t> image;
    if (!IsVerdict(scenario.exitCode) && ReadWhole("bios.rom", &image)) {
        FlashBlock block = AmiFlashBlock(static_cast<uint32_t>(image.size()));
        WriteFlash(block.address, image.data(), block.length);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    g_stem = OwnStem();
    StandInTool tool = StandInToolOf(g_stem.c_str());
    Record(CallRecord(tool));
    if (tool == StandInTool::Unknown) return 1;  // no flasher goes by this name
    // What its C runtime hands the tool, and what it refuses of that: then it writes nothing.
    std::vector<std::string> words = SplitAsMsvcrt(GetCommandLineA());
    std::vector<std::string> arguments(words.begin() + 1, words.end());
    std::string given = g_stem + " args=";
    for (const std::string& argument : arguments) given += "[" + argument + "]";
    Record(given);
    std::vector<RefusedArgument> refused = RefusedArguments(tool, arguments);
    for (const RefusedArgument& r : refused) Record(g_stem + " refused [" + r.argument + "]: " + r.why);
    if (!refused.empty()) return kBadCommandLine;
    FlasherScenario scenario = AskScenario(ScenarioName(tool));
    switch (tool) {
        case StandInTool::Phoenix: return RunPhoenix(scenario);
        case StandInTool::Micom: RunMicom(scenario); break;
        default: RunAmi(scenario); break;
    }
    return scenario.exitCode;
}
