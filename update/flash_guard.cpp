#include "update/flash_guard.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/run_context.h"
#include "platform/os.h"
#include "ui/progress_window.h"
#include "update/lid_settings.h"

namespace {

const char kSavedLidName[] = "LidClose.sav";
// GUID_SYSTEM_BUTTON_SUBGROUP and GUID_LIDCLOSE_ACTION.
const GUID kButtons = {0x4f971e89, 0xeebd, 0x4455, {0xa8, 0xde, 0x9e, 0x59, 0x04, 0x0e, 0x73, 0x47}};
const GUID kLidClose = {0x5ca83367, 0x6e45, 0x459f, {0xa2, 0x7b, 0x47, 0x6b, 0x1d, 0x01, 0xc9, 0x36}};

enum class LidPolicy { kNone, kGlobal, kScheme };

struct FlashGuard {
    bool held;
    HANDLE request;
    bool lidChanged;
    LidSettings lid;
};

FlashGuard g_guard = {false, INVALID_HANDLE_VALUE, false, {}};

// Where this Windows keeps the lid's action: a power scheme from Vista on, the global policy on
// 2000 and XP; 95, 98 and Me have no documented call for it.
LidPolicy WhichLidPolicy() {
    WindowsKind kind = OsWindowsKind();
    if (!kind.nt) return LidPolicy::kNone;
    if (kind.major >= 6) return LidPolicy::kScheme;
    return kind.major == 5 ? LidPolicy::kGlobal : LidPolicy::kNone;
}

// The error of a call that reports failure only by its result: the last error, if it set one.
DWORD FailedCall() {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// The lid's values now; 0 or the error.
DWORD ReadLid(LidPolicy policy, LidSettings* lid) {
    *lid = LidSettings{};
    lid->scheme = policy == LidPolicy::kScheme;
    if (!lid->scheme) {
        GLOBAL_POWER_POLICY global = {};
        if (!OsReadGlobalPwrPolicy(&global)) return FailedCall();
        lid->ac = global.user.LidCloseAc.Action;
        lid->dc = global.user.LidCloseDc.Action;
        return ERROR_SUCCESS;
    }
    GUID* active = nullptr;
    DWORD error = OsPowerGetActiveScheme(nullptr, &active);
    if (error != ERROR_SUCCESS) return error;
    memcpy(lid->schemeId, active, sizeof lid->schemeId);
    LocalFree(active);
    DWORD ac = 0, dc = 0;
    const GUID* scheme = reinterpret_cast<const GUID*>(lid->schemeId);
    if ((error = OsPowerReadACValueIndex(nullptr, scheme, &kButtons, &kLidClose, &ac)) == ERROR_SUCCESS &&
        (error = OsPowerReadDCValueIndex(nullptr, scheme, &kButtons, &kLidClose, &dc)) == ERROR_SUCCESS) {
        lid->ac = ac;
        lid->dc = dc;
    }
    return error;
}

// Writes the values into lid's scheme (made active again, so that they act) or the global
// policy; 0 or the error.
DWORD WriteLid(const LidSettings& lid, uint32_t ac, uint32_t dc) {
    if (!lid.scheme) {
        GLOBAL_POWER_POLICY global = {};
        if (!OsReadGlobalPwrPolicy(&global)) return FailedCall();
        global.user.LidCloseAc.Action = static_cast<POWER_ACTION>(ac);
        global.user.LidCloseDc.Action = static_cast<POWER_ACTION>(dc);
        return OsWriteGlobalPwrPolicy(&global) ? ERROR_SUCCESS : FailedCall();
    }
    const GUID* scheme = reinterpret_cast<const GUID*>(lid.schemeId);
    DWORD error;
    if ((error = OsPowerWriteACValueIndex(nullptr, scheme, &kButtons, &kLidClose, ac)) != ERROR_SUCCESS ||
        (error = OsPowerWriteDCValueIndex(nullptr, scheme, &kButtons, &kLidClose, dc)) != ERROR_SUCCESS) {
        return error;
    }
    // The scheme active now is applied again: the one written may no longer be it.
    GUID* active = nullptr;
    if ((error = OsPowerGetActiveScheme(nullptr, &active)) != ERROR_SUCCESS) return error;
    error = OsPowerSetActiveScheme(nullptr, active);
    LocalFree(active);
    return error;
}

// place\LidClose.sav, or false when the path would not fit.
bool SavedLidPath(const char* place, char* path, size_t size) {
    size_t length = strlen(place);
    const char* separator = length > 0 && place[length - 1] == '\\' ? "" : "\\";
    int written = snprintf(path, size, "%s%s%s", place, separator, kSavedLidName);
    return written > 0 && static_cast<size_t>(written) < size;
}

// The old values, written through to the disk before anything is changed.
bool SaveLid(const LidSettings& lid) {
    char path[kPathSize];
    char text[kLidSettingsTextSize];
    size_t length = EncodeLidSettings(lid, text, sizeof text);
    if (!g_run.inWorkingDirectory || length == 0 || !SavedLidPath(g_run.workingDirectory, path, sizeof path)) return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool saved = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) && written == length;
    CloseHandle(file);
    if (!saved) DeleteFileA(path);
    return saved;
}

void HoldLid() {
    LidPolicy policy = WhichLidPolicy();
    if (policy == LidPolicy::kNone) {
        LogLine("Flash guard : the lid is left as it is : this Windows has no documented call to change its action");
        return;
    }
    LidSettings lid;
    DWORD error = ReadLid(policy, &lid);
    if (error != ERROR_SUCCESS) {
        LogLine("Flash guard : the lid is left as it is : its action cannot be read (error %lu)", error);
        return;
    }
    if (!LidActsOnClose(lid)) return;
    if (!SaveLid(lid)) {
        LogLine("Flash guard : the lid is left as it is : its action cannot be kept in the working place");
        return;
    }
    g_guard.lid = lid;
    g_guard.lidChanged = true;
    error = WriteLid(lid, kLidDoNothing, kLidDoNothing);
    if (error != ERROR_SUCCESS) {
        LogLine("Flash guard : the lid's action not changed (error %lu)", error);
        return;
    }
    LogLine("Flash guard : closing the lid does nothing until the end (it was action %u on AC, %u on battery)",
            static_cast<unsigned>(lid.ac), static_cast<unsigned>(lid.dc));
}

void ReleaseLid() {
    if (!g_guard.lidChanged) return;
    g_guard.lidChanged = false;
    char path[kPathSize];
    DWORD error = WriteLid(g_guard.lid, g_guard.lid.ac, g_guard.lid.dc);
    if (error != ERROR_SUCCESS) {
        LogLine("Flash guard : the lid's action not put back (error %lu) : the next run puts it back", error);
        return;
    }
    if (SavedLidPath(g_run.workingDirectory, path, sizeof path)) DeleteFileA(path);
    LogLine("Flash guard : the lid's action put back");
}

void HoldPowerRequest() {
    REASON_CONTEXT reason = {};
    reason.Version = POWER_REQUEST_CONTEXT_VERSION;
    reason.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    reason.Reason.SimpleReasonString = const_cast<LPWSTR>(kFlashGuardReason);
    g_guard.request = OsPowerCreateRequest(&reason);
    if (g_guard.request == INVALID_HANDLE_VALUE) {
        LogLine("Flash guard : no power request (error %lu)", GetLastError());
    } else if (!OsPowerSetRequest(g_guard.request, PowerRequestSystemRequired)) {
        LogLine("Flash guard : the power request refused (error %lu)", GetLastError());
        OsCloseHandle(g_guard.request);
        g_guard.request = INVALID_HANDLE_VALUE;
    }
}

// The progress window creates or destroys its block reason as the guard now stands: from its
// own thread, the only one Windows lets do it.
void TellProgressWindow() {
    if (g_run.progressWindow != nullptr) SendMessageA(g_run.progressWindow, kMsgFlashGuard, 0, 0);
}

}  // namespace

void HoldFlashGuard(void) {
    if (g_guard.held) return;
    g_guard.held = true;
    LogLine("Flash guard : held until the last flasher has ended");
    if (OsSetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
        LogLine("Flash guard : the system cannot be kept awake (error %lu)", GetLastError());
    }
    HoldPowerRequest();
    HoldLid();
    InterlockedExchange(&g_run.flashGuarded, 1);
    TellProgressWindow();
}

void ReleaseFlashGuard(void) {
    if (!g_guard.held) return;
    g_guard.held = false;
    InterlockedExchange(&g_run.flashGuarded, 0);
    TellProgressWindow();
    ReleaseLid();
    if (g_guard.request != INVALID_HANDLE_VALUE) {
        OsPowerClearRequest(g_guard.request, PowerRequestSystemRequired);
        OsCloseHandle(g_guard.request);
        g_guard.request = INVALID_HANDLE_VALUE;
    }
    OsSetThreadExecutionState(ES_CONTINUOUS);
    LogLine("Flash guard : released");
}

void RestoreSavedLid(const char* place) {
    char path[kPathSize];
    if (!SavedLidPath(place, path, sizeof path)) return;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char text[kLidSettingsTextSize];
    DWORD length = 0;
    bool read = ReadFile(file, text, sizeof text, &length, nullptr) != FALSE;
    CloseHandle(file);
    LidSettings lid;
    if (!read || !DecodeLidSettings(text, length, &lid) ||
        lid.scheme != (WhichLidPolicy() == LidPolicy::kScheme) || WhichLidPolicy() == LidPolicy::kNone) {
        LogLine("Lid action of an earlier run not put back : %s is not one this program wrote", path);
        return;
    }
    DWORD error = WriteLid(lid, lid.ac, lid.dc);
    if (error != ERROR_SUCCESS) {
        LogLine("Lid action of an earlier run not put back (error %lu)", error);
        return;
    }
    LogLine("Lid action of an earlier run put back : action %u on AC, %u on battery", static_cast<unsigned>(lid.ac),
            static_cast<unsigned>(lid.dc));
}
