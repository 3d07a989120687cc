#include "tools/exit_codes/exit_code_table.h"

#include <cstdint>
#include <cstdio>

#include "core/exit_summary.h"
#include "core/result_codes.h"
#include "tools/exit_codes/rc_strings.h"

namespace {

constexpr uint32_t kExitInflate = 1;
constexpr uint32_t kExitDriverFatal = 0xFFFFFFFF;
constexpr uint32_t kScanFirst = 0x80000000;
constexpr uint32_t kScanEnd = 0x80010000;

struct ExitRow {
    uint32_t code;
    bool reported;    // ends through the program's result table, which gives its box
    const char* box;  // the box otherwise; "" for none
    const char* meaning;
    const char* advice;
};

const ExitRow kRows[] = {
    {kResultOk, false, "\"Update Complete\"",
     "The update completed: the firmware is written, automatic power-on is armed and the machine "
     "powers off, to come back by itself on the new firmware. Where power-on cannot be armed, "
     "\"Fail : Set Auto On\" follows and the machine stays off.",
     "Success. The machine goes off as the run ends, so a tool may never see the code: build the "
     "package with BLOCK_POWER_OFF to read it. A machine that does not come back needs someone to "
     "switch it on."},
    {kResultOk, false, "",
     "The update completed with power-off blocked (BLOCK_POWER_OFF, NO_POWER_OFF or SKIP_UPDATE_MICOM "
     "in the package; /BLOCK_POWER_OFF, /VISTA_UPGRADE or /SKIP_UPDATE_MICOM on a Phoenix package's "
     "command line): the firmware is written, nothing is armed, the machine stays on. Not on a "
     "notebook whose Super I/O chip arms power-on itself: that one powers off as above.",
     "Success: restart the machine so that it starts on the new firmware. Where BitLocker was "
     "suspended, it is suspended for that restart."},
    {kResultOk, false, "\"Stop Update\" after a Cancel in the DMI dialog",
     "Cancelled, nothing written: Cancel at the start confirmation (or a confirmation that could "
     "not be shown), or in a DMI-only package's DMI dialog.",
     "Only with someone at the screen: with NO_MESSAGEBOX the confirmation counts as OK. Nothing to "
     "retry unless that person wants to."},
    {kResultOk, false, "\"Complete\" after a DMI-only package",
     "A DMI-only package wrote its DMI data, or a /READ_BIOS run saved the ROM as ReadRomFile.bin in "
     "the working directory; the machine stays on.",
     "Success: restart the machine after a DMI-only package."},
    {kExitInflate, false, "",
     "A member of the package would not inflate, or could not be read whole from the package file: "
     "the process ends at once, while unpacking, before any flasher.",
     "Copy the package afresh to a local drive and run it once more; the same again means a broken "
     "package: give up."},
    {kResultDiskSpace, false, "\"Fail : Disk Space\"",
     "Less than 2 MiB free on the working place's drive (or free space that cannot be read).",
     "Retry once there is room on the working place's drive."},
    {kResultWindowThread, true, nullptr,
     "The progress window's thread did not start, or the DMI dialog could not be shown.",
     "Retry once after a restart; give up if it comes again."},
    {kResultUnpack, true, nullptr,
     "Unpacking failed: a file could not be made or written in the working place (a full drive), "
     "or AddMem.sys or an entry placed early was not as packed.",
     "Retry once the Windows drive (TEMP's on 98, Me and FAT32) has room. What was unpacked stays "
     "in the run's working place until the next run removes it."},
    {kResultHddPassword, true, nullptr, "A hard disk is protected by a password.",
     "Give up: someone must release the password in the BIOS Setup first."},
    {kResultDriverLoad, true, nullptr,
     "The access driver could not be installed, opened or used; on an AMI notebook also a build or "
     "part number that cannot be read from the firmware.",
     "Restart the machine and retry once (the box says \"Restart system.\"); give up if it comes again."},
    {kResultAmiModel, true, nullptr,
     "An AMI notebook's BIOS part number differs from the image's \"$FID\" block.",
     "Give up: the package is not for this machine."},
    {kResultModel, true, nullptr,
     "The BIOS flasher refused the image as one for another model (its exit code -120).",
     "Give up: the package is not for this machine."},
    {kResultBiosUpdate, true, nullptr,
     "The BIOS flasher failed: refused or not started (nothing written), or it crashed or its exit "
     "status was lost (the flash may be half written); on an AMI notebook also a BIOS version that "
     "cannot be read.",
     "Do not retry and do not restart: leave the machine on and escalate it with its logs, which "
     "tell whether the flasher ran."},
    {kResultMicomUpdate, true, nullptr,
     "The MICOM flasher failed or did not start, after the BIOS flasher had written the BIOS.",
     "Give up and escalate: the BIOS is new, the EC firmware is not; the machine stays on."},
    {kResultBiosFile, true, nullptr,
     "No BIOS image of the package fits this machine, its copy was refused, or the machine's DMI "
     "values cannot be handed to the flasher: none were read, or one would split into several "
     "flasher arguments (a blank, a double quote, a control character or a leading '/', as in a "
     "serial \"To Be Filled By O.E.M.\").",
     "With a \"DMI options refused\" line in the log (it names the value), the package fits but the "
     "machine's own DMI values cannot be handed on: set them first (a DMI-only package or the maker's "
     "DMI tool), then run the package again. Otherwise give up: the package is not for this machine."},
    {kResultMicomFile, true, nullptr,
     "No MICOM file of the package fits this machine, or its copy was refused.",
     "Give up: the package is not for this machine."},
    {kResultSmi, true, nullptr,
     "Enabling SMIs failed after the flashers ran: the firmware is written.",
     "Give up and escalate: the firmware is written, the machine stays on."},
    {kResultInvalidOption, true, nullptr,
     "An option the package does not take on the command line (an AMI package takes only /MFORCE, "
     "/MSERIAL and /MAUTO), or the package refused before anything ran: it cannot be opened, or its "
     "archive no longer matches the digest in its headers (\"Package refused : ...\" in the log).",
     "Give up: correct the command line, or copy the package afresh."},
    {kResultDirectory, true, nullptr,
     "The working place could not be made (`%SystemRoot%\\Temp` missing or not writable; on 98, Me "
     "and FAT32 TEMP unset or `TEMP\\__Quorvin_Update` not removable whole), another update is "
     "running (\"another update is running\" in the log), or a /READ_BIOS run could not write its file.",
     "Retry once the other run has ended, or after a restart; give up if it comes again."},
    {kResultNoAc, true, nullptr, "Not on AC (the battery is charged to 30 % or more).",
     "Retry when the machine is on AC."},
    {kResultBattery, true, nullptr, "On AC, but no battery, or one charged under 30 %.",
     "Retry once the battery is charged to 30 % or more; a notebook without a battery never passes."},
    {kResultNoPower, true, nullptr,
     "Neither on AC nor with a battery charged to 30 %, or a power status Windows cannot report.",
     "Retry when the machine is on AC with its battery charged."},
    {kResultBiosDate, true, nullptr,
     "The BIOS flasher found the installed BIOS newer than the image (its exit code -110 or -109), "
     "or an AMI notebook's build number is higher than the image's.",
     "Nothing to do: the machine has a later BIOS; do not retry."},
    {kExitDriverFatal, false, "\"Driver Load Fail\"",
     "Windows Vista or 7 only (the version Windows reports to the program: 6.0 or 6.1): the maker's "
     "access driver these versions need (KMDFMEMIO, VEXA) did not open. The log ends with \"Driver Load "
     "Fail : ...\" and the last line. In a session where someone can answer, its box shows even with "
     "NO_MESSAGEBOX and the process ends once it is answered; in session 0 and in a window station "
     "nobody sees, no box: the process ends at once.",
     "Fix, then retry: install the maker's driver (its KTV (Panorell) utility) and run the package "
     "again."},
};

bool HasReportedRow(uint32_t code) {
    for (const ExitRow& row : kRows) {
        if (row.code == code && row.reported) return true;
    }
    return false;
}

// Every code the program's result table knows has a row that says so, and no row claims a
// table entry the program lacks: "" when they agree, else what disagrees.
std::string Disagreement() {
    for (uint32_t code = kScanFirst; code != kScanEnd; ++code) {
        if (FindResultMessage(code) != nullptr && !HasReportedRow(code)) {
            char text[96];
            snprintf(text, sizeof text, "0x%08X is in the program's result table but has no row", code);
            return text;
        }
    }
    for (const ExitRow& row : kRows) {
        if (FindExitSummary(row.code) == nullptr) {
            char text[96];
            snprintf(text, sizeof text, "0x%08X has no name for the log's last line", row.code);
            return text;
        }
        if (row.reported != (FindResultMessage(row.code) != nullptr)) {
            char text[96];
            snprintf(text, sizeof text, "0x%08X: its row and the program's result table disagree", row.code);
            return text;
        }
    }
    return "";
}

// The title a person at the screen sees; empty when the string table lacks it.
std::string BoxOf(const ExitRow& row, const std::string& stringScript) {
    if (!row.reported) return *row.box ? row.box : "none";
    const ResultMessage* message = FindResultMessage(row.code);
    if (message->fixedTitle) return std::string("\"") + message->fixedTitle + "\"";
    std::string title;
    if (!FindRcString(stringScript, message->titleId, &title)) return "";
    return "\"" + title + "\"";
}

}  // namespace

std::string ExitCodeTable(const std::string& stringScript, std::string* error) {
    *error = Disagreement();
    if (!error->empty()) return "";
    std::string table =
        "| exit code | as `%ERRORLEVEL%` | name in the log's last line | what happened | box, where boxes are shown | what a deployment tool should do |\n"
        "|---|---|---|---|---|---|\n";
    for (const ExitRow& row : kRows) {
        std::string box = BoxOf(row, stringScript);
        if (box.empty()) {
            *error = "the string table has no title for a row's box";
            return "";
        }
        char codes[80];
        snprintf(codes, sizeof codes, "0x%08X | %d | `%s`", row.code, static_cast<int>(static_cast<int32_t>(row.code)),
                 FindExitSummary(row.code)->name);
        table += std::string("| ") + codes + " | " + row.meaning + " | " + box + " | " + row.advice + " |\n";
    }
    return table;
}
