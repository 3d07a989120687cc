#include "core/exit_summary.h"

#include <cstdio>

#include "core/result_codes.h"

namespace {

const ExitSummary kSummaries[] = {
    {kResultOk, "OK", "nothing to do"},
    {1, "INFLATE", "copy the package afresh and retry once; the same again: give up"},
    {kResultDiskSpace, "DISK_SPACE", "retry once the working place's drive has room"},
    {kResultWindowThread, "WINDOW_THREAD", "retry once after a restart; the same again: give up"},
    {kResultUnpack, "UNPACK", "retry once the Windows drive has room"},
    {kResultHddPassword, "HDD_PASSWORD", "give up: the disk's password must be released in the BIOS Setup first"},
    {kResultDriverLoad, "DRIVER_LOAD", "restart the machine and retry once; the same again: give up"},
    {kResultAmiModel, "AMI_MODEL", "give up: the package is not for this machine"},
    {kResultModel, "MODEL", "give up: the package is not for this machine"},
    {kResultBiosUpdate, "BIOS_UPDATE", "do not retry or restart: leave the machine on and escalate it with its logs"},
    {kResultMicomUpdate, "MICOM_UPDATE", "give up and escalate: the BIOS is new, the EC firmware is not"},
    {kResultBiosFile, "BIOS_FILE",
     "after a \"DMI options refused\" line set the machine's DMI values, then retry; otherwise give up: the "
     "package is not for this machine"},
    {kResultMicomFile, "MICOM_FILE", "give up: the package is not for this machine"},
    {kResultSmi, "SMI", "give up and escalate: the firmware is written"},
    {kResultInvalidOption, "INVALID_OPTION", "give up: correct the command line, or copy the package afresh"},
    {kResultDirectory, "DIRECTORY", "retry once the other run has ended, or after a restart"},
    {kResultNoAc, "NO_AC", "retry on AC"},
    {kResultBattery, "BATTERY", "retry once the battery is charged to 30 % or more"},
    {kResultNoPower, "NO_POWER", "retry on AC with the battery charged"},
    {kResultBiosDate, "BIOS_DATE", "nothing to do: the machine has a later BIOS"},
    {0xFFFFFFFF, "DRIVER_MISSING", "install the maker's access driver (KTV), then retry"},
};

}  // namespace

const ExitSummary* FindExitSummary(uint32_t code) {
    for (const ExitSummary& summary : kSummaries) {
        if (summary.code == code) return &summary;
    }
    return nullptr;
}

void FormatExitLine(uint32_t code, const char* ending, char* line, unsigned size) {
    const ExitSummary* summary = FindExitSummary(code);
    snprintf(line, size, "End : exit 0x%08X %s%s%s%s : %s", static_cast<unsigned>(code),
             summary ? summary->name : "UNKNOWN", *ending ? " (" : "", ending, *ending ? ")" : "",
             summary ? summary->action : "escalate it with its logs");
}
