#include "update/dmi_mode.h"

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/message.h"
#include "core/result_codes.h"
#include "core/run_context.h"
#include "core/run_flags.h"
#include "firmware/input_suppression.h"
#include "package/housekeeping.h"
#include "ui/resource_ids.h"
#include "update/dmi_options.h"

namespace {

// The values typed in the dialog; read once it has ended.
struct TypedDmi {
    char serial[kTextSize];
    char flag[kTextSize];
    char date[kTextSize];
    bool accepted;
};

TypedDmi g_typed;

struct DmiField {
    int control;
    const char* name;
    const char* current;
    char* typed;
};

// In the order the dialog checks them.
const DmiField kFields[] = {
    {IDC_DMI_SERIAL, "System Serial", g_run.systemSerial, g_typed.serial},
    {IDC_DMI_FLAG, "Bios Flag", g_run.biosFlag, g_typed.flag},
    {IDC_DMI_DATE, "Purchase Date", g_run.purchaseDate, g_typed.date},
};

uint32_t Refuse() {
    LogLine("DMI options refused : the BIOS command line would pass 255 characters");
    return kResultInvalidOption;
}

// OK: field by field, the first of a wrong length is named and the dialog stays open.
void AcceptTypedValues(HWND dialog) {
    for (const DmiField& field : kFields) {
        // One character more than any machine value has, so that an overlong entry is never
        // cut down to the wanted length.
        char text[kTextSize + 1];
        GetDlgItemTextA(dialog, field.control, text, sizeof text);
        int wanted = static_cast<int>(strlen(field.current));
        if (static_cast<int>(strlen(text)) != wanted) {
            ShowMessage(MB_ICONINFORMATION, "Error : String length", "The string length of %s must be %d.",
                        field.name, wanted);
            return;
        }
        const DmiValues one = {"", "", text};
        if (UnsafeDmiValue(one) != nullptr) {
            ShowMessage(MB_ICONINFORMATION, "Error : String", "%s must hold no blank, no double quote, no control character and no leading '/'.",
                        field.name);
            return;
        }
        snprintf(field.typed, kTextSize, "%s", text);
    }
    g_typed.accepted = true;
    EndDialog(dialog, IDOK);
}

}  // namespace

INT_PTR CALLBACK DmiSettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        for (const DmiField& field : kFields) SetDlgItemTextA(dialog, field.control, field.current);
        return TRUE;  // the first edit takes the focus: the values can be typed at once
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        AcceptTypedValues(dialog);
    } else if (LOWORD(wParam) == IDCANCEL) {  // also the close box and Esc
        g_typed.accepted = false;
        EndDialog(dialog, IDCANCEL);
    }
    return FALSE;
}

uint32_t RunDmiUpdateMode(char* biosCommand, bool* cancelled) {
    *cancelled = false;
    const DmiValues current = {g_run.biosFlag, g_run.purchaseDate, g_run.systemSerial};
    const char* unsafe = nullptr;
    DmiAppend appended = AppendCurrentDmiOptions(biosCommand, g_run.runFlags, current, g_run.biosVersion, &unsafe);
    if (appended == DmiAppend::kNothingRead) {
        LogLine("DMI options refused : no DMI values were read from this machine; set its DMI values first");
        return kResultBiosFile;
    }
    if (appended == DmiAppend::kTooLong) return Refuse();
    if (appended == DmiAppend::kUnsafe) {
        // The package fits; the machine's own values cannot be handed on. A DMI-only package is the
        // way to set them: its dialog's values take their place, so they are not needed there.
        bool replaced = DmiDialogWanted(g_run.runFlags);
        LogLine("DMI options %s : this machine's %s would reach the flasher as several arguments"
                " (Bios Flag \"%s\", Purchase Date \"%s\", System Serial \"%s\")%s",
                replaced ? "not handed on" : "refused", unsafe, current.biosFlag, current.purchaseDate,
                current.systemSerial, replaced ? "; the values typed in the dialog take their place"
                                               : "; set this machine's DMI values first, then run the update again");
        if (!replaced) return kResultBiosFile;
    }
    if (!DmiDialogWanted(g_run.runFlags)) return kResultOk;

    DeleteMicomFiles();
    RestoreInput();
    g_typed = TypedDmi{};
    // Nobody can type the values where nobody can see the dialog: that counts as its Cancel.
    INT_PTR shown = IDCANCEL;
    if (g_run.nobodyToAnswer) {
        LogLine("DMI dialog not shown : nobody can answer here; counted as Cancel");
    } else {
        shown = DialogBoxParamA(g_run.resources, MAKEINTRESOURCEA(IDD_DMI_SETTING), nullptr, DmiSettingDialogProc, 0);
    }
    DWORD error = shown == -1 ? GetLastError() : 0;
    if (!g_typed.accepted) {
        DeleteExtractedFiles();
        if (shown == -1) {
            LogLine("DMI dialog not shown : error %lu", error);
            return kResultWindowThread;
        }
        SendMessageA(g_run.progressWindow, kMsgStopAnimation, 0, 0);
        ShowMessage(MB_ICONINFORMATION, "Stop Update", "Cancel DMI Update.");
        *cancelled = true;
        return kResultOk;
    }
    SuppressInput();
    const DmiValues typed = {g_typed.flag, g_typed.date, g_typed.serial};
    return AppendTypedDmiOptions(biosCommand, typed) ? kResultOk : Refuse();
}
